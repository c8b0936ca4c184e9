-- Brambleton standard library for Lua 5.4: arithmetic and text helpers.
-- Needs the runtime of the module "core", which the script writes first.

do
	-- Numbers typed in the editor are written with two decimals (3.00), so
	-- the helpers accept any number and round where Lua wants a whole one.
	local function whole(x)
		return math.floor(x + 0.5)
	end

	function bram.Random(low, high)
		return low + (high - low) * math.random()
	end

	function bram.RandomInteger(low, high)
		low, high = whole(low), whole(high)
		if low > high then
			low, high = high, low
		end
		return math.random(low, high)
	end

	function bram.Seed(x)
		math.randomseed(whole(x))
	end

	function bram.Round(x)
		return whole(x)
	end

	function bram.Format(x, decimals)
		return string.format("%." .. decimals .. "f", x)
	end

	function bram.Length(text)
		return utf8.len(text) or #text
	end

	function bram.ToNumber(text)
		return tonumber(text) or 0
	end

	-- Characters from position first to position last, counted from 1 in
	-- characters (not bytes); negative positions count from the end.
	function bram.Substring(text, first, last)
		local length = bram.Length(text)
		first, last = whole(first), whole(last)
		if first < 0 then first = length + first + 1 end
		if last < 0 then last = length + last + 1 end
		first = math.max(first, 1)
		last = math.min(last, length)
		if first > last then
			return ""
		end
		local from = utf8.offset(text, first) or 1
		local to = (utf8.offset(text, last + 1) or (#text + 1)) - 1
		return string.sub(text, from, to)
	end

	function bram.RepeatText(text, count)
		return string.rep(text, math.max(whole(count), 0))
	end

	function bram.Contains(text, part)
		return string.find(text, part, 1, true) ~= nil
	end
end
