-- Text building: 100,000 appends of "x" to one text, then its length.
return function()
  local s = ""
  for _ = 1, 100000 do
    s = s .. "x"
  end
  return #s
end
