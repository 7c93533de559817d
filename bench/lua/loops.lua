-- Nested loops of local arithmetic.
return function()
  local s = 0.0
  for i = 0.0, 999.0 do
    for j = 0.0, 999.0 do
      s = s + (i * j - j)
    end
  end
  return s
end
