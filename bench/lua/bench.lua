-- Runs the benchmark programs of this folder and prints, per program:
--   <program> lua best_ms=<best time per run> result=<value>
-- Usage: lua5.4 bench.lua [runs] [program ...]
local dir = arg[0]:match("^(.*)/[^/]*$") or "."
local runs = tonumber(arg[1]) or 5
local names = {}
for k = 2, #arg do names[#names + 1] = arg[k] end
if #names == 0 then names = { "fib", "loops", "strings", "arrays", "globals" } end

for _, name in ipairs(names) do
  local program = dofile(dir .. "/" .. name .. ".lua")
  local best, result = math.huge, nil
  for _ = 1, runs do
    collectgarbage()
    local start = os.clock()
    result = program()
    local elapsed = (os.clock() - start) * 1000
    if elapsed < best then best = elapsed end
  end
  print(string.format("%-8s %-4s best_ms=%.3f result=%.17g", name, "lua", best, result))
end
