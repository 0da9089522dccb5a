-- Ardour 7 headless, first process: insert the VST3 build on a track, list
-- and set its parameters, report its latency, save the session.
ARDOUR.config():set_hide_dummy_backend(false)
AudioEngine:set_backend("None (Dummy)", "", "")
local s = create_session(os.getenv("ZELVO_SESSION"), "zelvo", tonumber(os.getenv("ZELVO_RATE") or "48000"))
assert(s, "no session")
local tl = Session:new_audio_track(2, 2, nil, 1, "take", ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true)
local track = tl:front()
local gen = ARDOUR.LuaAPI.new_plugin(Session, "SinGen", ARDOUR.PluginType.Lua, "")
track:add_processor_by_index(gen, 0, nil, true)
local p = ARDOUR.LuaAPI.new_plugin(Session, "QDX Zelvo", ARDOUR.PluginType.VST3, "")
assert(not p:isnil(), "QDX Zelvo not created")
track:add_processor_by_index(p, 1, nil, true)
local plug = p:to_insert():plugin(0)
print("inserted:", plug:name(), "parameters:", plug:parameter_count())
for i = 0, plug:parameter_count() - 1 do
  local _, d = plug:get_parameter_descriptor(i, ARDOUR.ParameterDescriptor())
  local pd = d[2]
  print(string.format("  %2d %-14s %10.6f  [%g .. %g] steps %d", i, plug:parameter_label(i), ARDOUR.LuaAPI.get_processor_param(p, i, true), pd.lower, pd.upper, pd.integer_step and 1 or 0))
end
ARDOUR.LuaAPI.set_processor_param(p, 1, 0.8125)  -- Drive
ARDOUR.LuaAPI.set_processor_param(p, 22, 1)      -- TP Guard
ARDOUR.LuaAPI.set_processor_param(p, 10, 2)      -- Bits
print("set: Drive", ARDOUR.LuaAPI.get_processor_param(p, 1, true), "TP Guard", ARDOUR.LuaAPI.get_processor_param(p, 22, true), "Bits", ARDOUR.LuaAPI.get_processor_param(p, 10, true))
local function latencyOf(proc)
  local ins = proc:to_insert()
  for _, f in ipairs({function() return ins:plugin(0):signal_latency() end, function() return ins:effective_latency() end, function() return ins:signal_latency() end, function() return proc:signal_latency() end}) do
    local ok, v = pcall(f)
    if ok then return v end
  end
  return "?"
end
print("latency (samples):", latencyOf(p))
print("engine running:", AudioEngine:running())
-- A few engine cycles carry the values to the effect through process.
ARDOUR.LuaAPI.usleep(500000)
print("after 0.5 s: Drive", ARDOUR.LuaAPI.get_processor_param(p, 1, true))
Session:save_state("", false, false, false, false, false)
close_session()

