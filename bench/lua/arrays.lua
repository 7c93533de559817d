-- 1e7 elements filled with their running number, then summed.
return function()
  local a = {}
  for k = 1, 10000000 do
    a[k] = k
  end
  local s = 0
  for k = 1, 10000000 do
    s = s + a[k]
  end
  return s
end
