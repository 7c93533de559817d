-- String building: a text grown by concatenation, then measured.
return function()
  local n = 0.0
  for _ = 1, 200 do
    local s = ""
    for i = 0.0, 499.0 do
      s = s .. "ab"
    end
    n = n + #s
  end
  return n
end
