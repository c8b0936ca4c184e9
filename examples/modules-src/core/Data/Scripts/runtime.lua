-- Brambleton runtime for Lua 5.4: triggers, events and timers.
--
-- Generated triggers register themselves with bram.NewTrigger and the events
-- their "Events" block lists. Nothing runs while the script is loaded: when
-- the main chunk ends, the event loop starts (see the end of this file). It
-- fires "start", then works off queued events and timers in the order of a
-- virtual clock, so a script with timers of hours finishes at once, and ends
-- with "finish" when nothing is left to do or bram.Stop() was called.

bram = {}

do
	local triggers = {}   -- every trigger, in creation order
	local listeners = {}  -- event name -> triggers registered for it
	local queue = {}      -- events fired and not yet delivered, first in first out
	local timers = {}     -- pending timers: { time, order, period, trigger | event }
	local clock = 0
	local order = 0
	local stopped = false

	-- A safety net against a periodic timer that nobody stops.
	bram.maxSteps = 100000

	local function listen(name, trigger)
		local list = listeners[name]
		if list == nil then
			list = {}
			listeners[name] = list
		end
		list[#list + 1] = trigger
	end

	local function schedule(timer)
		order = order + 1
		timer.order = order
		timers[#timers + 1] = timer
	end

	-- The earliest timer; timers due at the same moment run in the order they were set.
	local function takeNextTimer()
		local best = nil
		for i, t in ipairs(timers) do
			if best == nil or t.time < timers[best].time
				or (t.time == timers[best].time and t.order < timers[best].order) then
				best = i
			end
		end
		return best and table.remove(timers, best)
	end

	-- True while something can still happen: a queued event, a timer that
	-- fires an event, or a timer of an enabled trigger.
	local function anythingLeft()
		if #queue > 0 then
			return true
		end
		for _, t in ipairs(timers) do
			if t.trigger == nil or t.trigger.enabled then
				return true
			end
		end
		return false
	end

	local function checkSeconds(seconds, what)
		if type(seconds) ~= "number" or seconds ~= seconds or seconds < 0 then
			error(what .. ": the number of seconds must be zero or more", 3)
		end
	end

	-- Runs a trigger if it is enabled (events and timers use this).
	local function deliver(trigger, event)
		if trigger.enabled then
			bram.Run(trigger, event)
		end
	end

	function bram.NewTrigger(name, events)
		local trigger = { name = name, enabled = true, runs = 0 }
		triggers[#triggers + 1] = trigger
		for _, register in ipairs(events) do
			register(trigger)
		end
		return trigger
	end

	-- Runs the trigger's actions when its conditions hold; ignores the enabled flag.
	function bram.Run(trigger, event)
		if trigger == nil then
			error("bram.Run: no trigger", 2)
		end
		event = event or { name = "run", time = clock }
		if trigger.condition == nil or trigger.condition(event) then
			trigger.runs = trigger.runs + 1
			if trigger.action ~= nil then
				trigger.action(event)
			end
			return true
		end
		return false
	end

	-- Runs with trace: one line per traced place (the trigger's script name, a
	-- tab and the place) to the stream the editor names, not to the output.
	local traceStream = nil
	function bram.Trace(trigger, place)
		if traceStream == nil then
			local name = os.getenv("BRAMBLETON_TRACE")
			traceStream = name and io.open(name, "w") or false
		end
		if traceStream then
			traceStream:write(trigger, "\t", place, "\n")
		end
	end

	function bram.Enable(trigger) trigger.enabled = true end
	function bram.Disable(trigger) trigger.enabled = false end
	function bram.IsEnabled(trigger) return trigger.enabled end
	function bram.RunCount(trigger) return trigger.runs end

	-- Each entry of the "Events" block is written as bram.Event(...) and each
	-- condition of the "Conditions" block as bram.Holds(...), joined with
	-- "and": a disabled entry leaves the parentheses empty, which is still
	-- valid Lua. An empty event registers nothing, an empty condition holds;
	-- the conditions keep the short-circuit of "and".
	function bram.Event(...)
		if select("#", ...) == 0 then
			return function() end
		end
		return (...)
	end

	function bram.Holds(...)
		if select("#", ...) == 0 then
			return true
		end
		return (...)
	end

	-- Event registrations, used in the "Events" block of a trigger.
	function bram.OnStart()
		return function(trigger) listen("start", trigger) end
	end

	function bram.OnFinish()
		return function(trigger) listen("finish", trigger) end
	end

	function bram.OnEvent(name)
		return function(trigger) listen("event:" .. tostring(name), trigger) end
	end

	function bram.OnTimer(seconds, periodic)
		checkSeconds(seconds, "bram.OnTimer")
		if periodic and seconds <= 0 then
			error("bram.OnTimer: a periodic timer needs more than zero seconds", 2)
		end
		return function(trigger)
			schedule({ time = clock + seconds, period = periodic and seconds or nil, trigger = trigger })
		end
	end

	-- Custom events: delivered after the current trigger has finished.
	function bram.Fire(name, value)
		queue[#queue + 1] = { name = tostring(name), value = value }
	end

	function bram.FireAfter(seconds, name, value)
		checkSeconds(seconds, "bram.FireAfter")
		schedule({ time = clock + seconds, event = { name = tostring(name), value = value } })
	end

	-- Runs a function later (the "After ... seconds" structure).
	function bram.After(seconds, func)
		checkSeconds(seconds, "bram.After")
		schedule({ time = clock + seconds, call = func })
	end

	function bram.Stop() stopped = true end
	function bram.Time() return clock end

	-- What a trigger can ask about the event that runs it.
	function bram.EventName(event) return event and event.name or "" end
	function bram.EventText(event)
		if event == nil or event.value == nil then
			return ""
		end
		return bram.Text(event.value)
	end
	function bram.EventNumber(event)
		return event and tonumber(event.value) or 0
	end

	-- Numbers that hold a whole value print without a fraction: 3 rather than 3.0.
	function bram.Text(value)
		if type(value) == "number" then
			if value == math.floor(value) and value > -1e15 and value < 1e15 then
				return string.format("%d", math.floor(value))
			end
			return string.format("%.14g", value)
		end
		return tostring(value)
	end

	function bram.Print(value)
		io.write(bram.Text(value), "\n")
	end

	local function dispatch(event)
		local list = listeners[event.key or ("event:" .. event.name)]
		if list == nil then
			return
		end
		event.time = clock
		-- A copy: a trigger may register or disable others while the event is delivered.
		for _, trigger in ipairs(table.move(list, 1, #list, 1, {})) do
			deliver(trigger, event)
		end
	end

	local function drainQueue()
		while #queue > 0 and not stopped do
			dispatch(table.remove(queue, 1))
		end
	end

	function bram.Main()
		local steps = 0
		dispatch({ key = "start", name = "start" })
		drainQueue()
		while not stopped and anythingLeft() do
			steps = steps + 1
			if steps > bram.maxSteps then
				io.stderr:write(string.format("bram: stopped after %d steps at %s seconds\n", bram.maxSteps, bram.Text(clock)))
				break
			end
			local timer = takeNextTimer()
			clock = math.max(clock, timer.time)
			if timer.period ~= nil then
				timer.time = timer.time + timer.period
				schedule(timer)
			end
			if timer.trigger ~= nil then
				deliver(timer.trigger, { name = "timer", time = clock })
			elseif timer.call ~= nil then
				timer.call()
			else
				bram.Fire(timer.event.name, timer.event.value)
			end
			drainQueue()
		end
		stopped = false
		dispatch({ key = "finish", name = "finish" })
		drainQueue()
	end
end

-- Closed when the main chunk of the script ends, that is after every trigger
-- has been defined: then the event loop runs. A script that fails while it
-- is loaded does not start it.
local bram_main <close> = setmetatable({}, {
	__close = function(_, err)
		if err == nil then
			bram.Main()
		end
	end,
})
