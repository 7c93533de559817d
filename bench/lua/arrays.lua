-- An array filled element by element, then summed.
return function()
  local s = 0.0
  for _ = 1, 20 do
    local a = {}
    for i = 0.0, 9999.0 do
      a[i] = i
    end
    for i = 0.0, 9999.0 do
      s = s + a[i]
    end
  end
  return s
end
