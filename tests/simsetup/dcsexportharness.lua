-- Runs the DCS export script as DCS would: an export environment of stub
-- functions, the script loaded with dofile, then the export hooks once per
-- frame. Driven by environment variables:
--   KESTROX_EXPORT_SCRIPT  the script
--   KESTROX_EXPORT_PORT    where its datagrams go (overrides the script's port)
--   KESTROX_HARNESS_CASE   which simulator state to stub (see cases below)
--   KESTROX_FRAMES         frames to run, 20 ms apart unless the case says otherwise
--   KESTROX_EXPORT_LUA     an Export.lua to run in place of the script; it loads
--                          the script from KESTROX_WRITEDIR's Scripts folder, and
--                          its own host and port stand
-- Prints "after=<n>" with the calls an earlier tool's hook received.

local script = os.getenv("KESTROX_EXPORT_SCRIPT")
local case = os.getenv("KESTROX_HARNESS_CASE") or "flying"
local frames = tonumber(os.getenv("KESTROX_FRAMES") or "3")

-- A clock the harness moves, in place of the wall clock.
local socket = require("socket")
local now = 1000
socket.gettime = function() return now end

lfs = {
    writedir = function() return "C:\\Users\\pilot\\Saved Games\\DCS\\" end,
    currentdir = function() return "C:\\Program Files\\Eagle Dynamics\\DCS World\\bin" end,
}

local function flying()
    LoGetSelfData = function() return { Name = "F-16C_50" } end
    LoGetIndicatedAirSpeed = function() return 125 end        -- 450 km/h
    LoGetVerticalVelocity = function() return -2.5 end
    LoGetAngleOfAttack = function() return 0.1 end            -- 5.7296 degrees
    LoGetAccelerationUnits = function() return { x = 0, y = 1.5, z = 0 } end
    LoGetMechInfo = function()
        return { gear = { value = 0.5 }, speedbrakes = { value = 1 }, flaps = { value = 0.25 } }
    end
    LoGetEngineInfo = function() return { RPM = { left = 80, right = 90 } } end
    LoGetAltitudeAboveGroundLevel = function() return 350 end
end

local step = 0.02
local afterCalls = 0

local cases = {
    flying = flying,
    -- Rolling on the runway: no weight-on-wheels, gear down, 0.4 m above ground.
    landed = function()
        flying()
        LoGetSelfData = function() return { Name = "Su-25T" } end
        LoGetMechInfo = function() return { gear = { value = 1 }, speedbrakes = { value = 0 }, flaps = { value = 1 } } end
        LoGetEngineInfo = function() return { RPM = { left = 70, right = 0 } } end
        LoGetAltitudeAboveGroundLevel = function() return 0.4 end
    end,
    -- A module that reports weight-on-wheels high above ground.
    wow = function()
        flying()
        LoGetMechInfo = function() return { gear = { value = 1, WOW = true } } end
    end,
    -- An export environment that offers none of the functions.
    missing = function() end,
    -- Functions that exist but answer nil, raise, or give odd values.
    broken = function()
        LoGetSelfData = function() return { Name = "Bad;Name\r\nX" } end
        LoGetIndicatedAirSpeed = function() return 0 / 0 end
        LoGetVerticalVelocity = function() return 1 / 0 end
        LoGetAngleOfAttack = function() error("not on this server") end
        LoGetAccelerationUnits = function() return nil end
        LoGetMechInfo = function() return { gear = {} } end
        LoGetEngineInfo = function() return { RPM = nil } end
        LoGetAltitudeAboveGroundLevel = function() return nil end
    end,
    -- Another tool loaded first: it counts its frames and its start hook fails.
    chained = function()
        flying()
        LuaExportStart = function() error("the other tool fails") end
        LuaExportAfterNextFrame = function() afterCalls = afterCalls + 1 end
    end,
    -- Another tool whose frame hook fails every time.
    failing = function()
        flying()
        LuaExportAfterNextFrame = function() afterCalls = afterCalls + 1; error("the other tool fails") end
    end,
    twice = flying,
    -- Frames 4 ms apart: more frames than the 10 ms limit lets through.
    fast = function() flying(); step = 0.004 end,
}

assert(cases[case], "unknown case " .. case)()
local exportLua = os.getenv("KESTROX_EXPORT_LUA")
if exportLua then
    -- DCS's paths use backslashes; here they name files of this system.
    local writedir = os.getenv("KESTROX_WRITEDIR")
    lfs.writedir = function() return writedir .. "\\" end
    local luaDofile = dofile
    dofile = function(path) return luaDofile((string.gsub(path, "\\", "/"))) end
    dofile(exportLua)
else
    dofile(script)
    if case == "twice" then
        dofile(script)
    end
    KestroxExportPort = tonumber(os.getenv("KESTROX_EXPORT_PORT"))
end

-- A locale with a decimal comma, where the machine has one.
for _, name in ipairs({ "de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8" }) do
    if os.setlocale(name, "numeric") then break end
end

LuaExportStart()
for _ = 1, frames do
    if LuaExportBeforeNextFrame then LuaExportBeforeNextFrame() end
    LuaExportAfterNextFrame()
    now = now + step
end
LuaExportStop()
print("after=" .. afterCalls)
