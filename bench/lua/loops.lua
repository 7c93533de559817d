-- Nested loops of local arithmetic: 10,000 x 3,000 passes of s = s + (i * j) % 7.
return function()
  local s = 0
  for i = 0, 9999 do
    for j = 0, 2999 do
      s = s + (i * j) % 7
    end
  end
  return s
end
