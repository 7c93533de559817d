-- A loop whose counter and total are global variables.
return function()
  n = 0.0
  i = 0.0
  while i < 1000000.0 do
    n = n + i
    i = i + 1.0
  end
  return n
end
