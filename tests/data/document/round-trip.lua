-- Line one
-- line & two ]]> end
local x = 1 -- <header>
local v_total_count = 0
local v_flag = false
-- Comment with & and <tags>
-- and a second line
function fn_First()
-- trigger trg_First
-- events of trg_First
	if False then
		-- nothing
	end
-- end
	local v_word = ""
print("a & b
next line ]]> \"quoted\"")
-- next

-- next
print(v_word)
-- next
enable(trg_Later_One)
-- next
if v_total_count < 2.50 then
	v_total_count = (math.pi + -1.25)
end

disable(trg_First)


-- custom ]]> code
