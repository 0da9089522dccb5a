-- Second process: reopen the saved session, read the plug-in's state back.
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
load_session(os.getenv("ZELVO_SESSION"), "zelvo")
for r in Session:get_tracks():iter() do
  local proc = r:nth_plugin(1)
  if not proc:isnil() then
    local pl = proc:to_insert():plugin(0)
    print("reopened:", r:name(), pl:name(), "Drive", ARDOUR.LuaAPI.get_processor_param(proc, 1, true), "TP Guard", ARDOUR.LuaAPI.get_processor_param(proc, 22, true), "Bits", ARDOUR.LuaAPI.get_processor_param(proc, 10, true), "latency", latencyOf(proc))
  end
end
close_session()
