-- Recursive calls: fib(30), computed three times.
local function fib(n)
  if n < 2 then return n end
  return fib(n - 1) + fib(n - 2)
end

return function()
  local r = 0
  for _ = 1, 3 do
    r = fib(30)
  end
  return r
end
