-- Second process: reopen the saved session, read the plug-in's state back,
-- and export audio through it.
ARDOUR.config():set_hide_dummy_backend(false)
AudioEngine:set_backend("None (Dummy)", "", "")
local function latencyOf(proc)
  local ins = proc:to_insert()
  for _, f in ipairs({function() return ins:plugin(0):signal_latency() end, function() return ins:effective_latency() end, function() return ins:signal_latency() end, function() return proc:signal_latency() end}) do
    local ok, v = pcall(f)
    if ok then return v end
  end
  return "?"
end
-- Two seconds of the master bus to a WAV file in the session folder
-- (Ardour's "WAV @ session-rate" preset), rendered offline.
local function export(name)
  local ex = Session:simple_export()
  ex:set_name(name)
  ex:set_folder(os.getenv("ZELVO_SESSION"))
  ex:set_range(0, 2 * Session:nominal_sample_rate())
  assert(ex:set_preset("75969a1c-3133-4694-864b-a1fa50e43348"), "no WAV export preset")
  assert(ex:check_outputs(), "no outputs to export")
  print("exported " .. name .. ".wav:", ex:run_export())
end
load_session(os.getenv("ZELVO_SESSION"), "zelvo")
for r in Session:get_tracks():iter() do
  local proc = r:nth_plugin(1)
  if not proc:isnil() then
    local pl = proc:to_insert():plugin(0)
    print("reopened:", r:name(), pl:name(), "Drive", ARDOUR.LuaAPI.get_processor_param(proc, 1, true), "TP Guard", ARDOUR.LuaAPI.get_processor_param(proc, 22, true), "Bits", ARDOUR.LuaAPI.get_processor_param(proc, 10, true), "latency", latencyOf(proc))
    -- Through the restored limiter, or (ZELVO_BYPASS=1) with it deactivated
    -- for comparison: one export a process, as a second one corrupts
    -- Ardour 7.3's heap (with any plug-in, or none).
    if os.getenv("ZELVO_BYPASS") == "1" then
      proc:deactivate()
      export("bypassed")
    else
      export("limited")
    end
  end
end
close_session()
