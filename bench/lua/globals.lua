-- 30 million increments of a global counter, with a local loop counter.
return function()
  counter = 0
  for _ = 1, 30000000 do
    counter = counter + 1
  end
  return counter
end
