-- Runs benchmark programs of this folder and prints, per program and run:
--   <program> lua ms=<processor time of the run> result=<value>
-- Usage: lua5.4 bench.lua [runs] [program ...]
-- The time is os.clock's processor time of this process, the clock script_bench uses too.
local dir = arg[0]:match("^(.*)/[^/]*$") or "."
local runs = tonumber(arg[1]) or 1
local names = {}
for k = 2, #arg do names[#names + 1] = arg[k] end
if #names == 0 then names = { "fib", "loops", "strings", "arrays", "globals" } end

for _, name in ipairs(names) do
  local program = dofile(dir .. "/" .. name .. ".lua")
  for _ = 1, runs do
    collectgarbage()
    local start = os.clock()
    local result = program()
    local elapsed = (os.clock() - start) * 1000
    print(string.format("%s lua ms=%.3f result=%.17g", name, elapsed, result))
  end
end
