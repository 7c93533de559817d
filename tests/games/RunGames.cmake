# Runs every game test under GAMES: GAMES/<name>/game/ is the game folder (a game.json manifest
# and its source files), GAMES/<name>/frames the number of steps to run, GAMES/<name>/expected.txt
# the text the game prints. Each game is packed into WORK/<name>/game.win and run headless with a
# fixed clock, in its own empty current directory and with HOME and the XDG folders inside it,
# once for each way the script machine can run code (RUNNER_VM_PATHS).
# A game whose output differs, or whose runner exits with a failure, fails the test; every
# failure is listed before the test fails.
#
#   cmake -DPACKER=... -DRUNNER=... -DGAMES=... -DWORK=... [-DONLY=<name>] -P RunGames.cmake
file(GLOB entries RELATIVE ${GAMES} ${GAMES}/*)
list(SORT entries)
set(failed "")
set(count 0)
foreach(name ${entries})
  if(NOT IS_DIRECTORY ${GAMES}/${name}/game)
    continue()
  endif()
  if(DEFINED ONLY AND NOT name STREQUAL ONLY)
    continue()
  endif()
  math(EXPR count "${count} + 1")
  set(work ${WORK}/${name})
  file(REMOVE_RECURSE ${work})
  file(MAKE_DIRECTORY ${work}/cwd ${work}/home/.local/share ${work}/home/.config)
  execute_process(COMMAND ${PACKER} ${GAMES}/${name}/game ${work}/game.win
                  RESULT_VARIABLE packed ERROR_VARIABLE packError)
  if(NOT packed EQUAL 0)
    message("game ${name}: the packer failed: ${packError}")
    list(APPEND failed ${name})
    continue()
  endif()
  file(READ ${GAMES}/${name}/frames frames)
  string(STRIP "${frames}" frames)
  file(READ ${GAMES}/${name}/expected.txt expected)
  # Each game runs three times, each from fresh folders: with the machine's decoded steps, with
  # its fast paths word by word and with its general handlers only. Every run must print the
  # expected text.
  set(ok TRUE)
  foreach(paths decoded words general)
    file(REMOVE_RECURSE ${work}/cwd ${work}/home)
    file(MAKE_DIRECTORY ${work}/cwd ${work}/home/.local/share ${work}/home/.config)
    # Mesa's driver is unloaded at the end of the run and LeakSanitizer would report its memory
    # as leaks of an unknown module; the unit tests check the runtime's own leaks.
    execute_process(COMMAND ${CMAKE_COMMAND} -E env
                            RUNNER_HEADLESS=1 RUNNER_FRAMES=${frames} RUNNER_FIXED_CLOCK=1 RUNNER_VM_PATHS=${paths}
                            SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy ALSOFT_DRIVERS=null LP_NUM_THREADS=1
                            HOME=${work}/home XDG_DATA_HOME=${work}/home/.local/share
                            XDG_CONFIG_HOME=${work}/home/.config XDG_RUNTIME_DIR=${work}/home
                            "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1"
                            ${RUNNER} -game ${work}/game.win
                    WORKING_DIRECTORY ${work}/cwd
                    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors)
    file(WRITE ${work}/output-${paths}.txt "${output}")
    if(NOT status EQUAL 0)
      message("game ${name} (${paths}): the runner exited with ${status}\n${errors}")
      list(APPEND failed ${name})
      set(ok FALSE)
      break()
    elseif(NOT output STREQUAL expected)
      message("game ${name} (${paths}): the output differs from expected.txt\n--- expected\n${expected}"
              "--- got (${work}/output-${paths}.txt)\n${output}")
      list(APPEND failed ${name})
      set(ok FALSE)
      break()
    endif()
  endforeach()
  if(ok)
    message("game ${name}: ok")
  endif()
endforeach()
if(count EQUAL 0)
  message(FATAL_ERROR "no game tests found in ${GAMES}")
endif()
if(failed)
  message(FATAL_ERROR "failed games: ${failed}")
endif()
