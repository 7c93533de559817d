# Runs every game test under GAMES: GAMES/<name>/game/ is the game folder (a game.json manifest
# and its source files), GAMES/<name>/frames the number of steps to run, GAMES/<name>/expected.txt
# the text the game prints, and the optional GAMES/<name>/args more command-line arguments for
# the runner (such as -noerrors, so that a non-fatal error is printed and the game goes on). Each
# game is packed into WORK/<name>/game.win and run headless with a fixed clock, in its own empty
# current directory and with HOME and the XDG folders inside it.
# A game whose output differs, or whose runner exits with a failure, fails the test; every
# failure is listed before the test fails.
#
# Screenshot games: a game folder with GAMES/<name>/screenshot.json (the comparison's settings and
# probe pixels, see tools/imagediff) is also run with RUNNER_SCREENSHOT=WORK/<name>/actual.png and
# its last frame compared with GAMES/<name>/expected.png by IMAGEDIFF; on a mismatch
# WORK/<name>/actual.png and WORK/<name>/difference.png are kept and named. With
# RUNNER_UPDATE_SCREENSHOTS=1 in the environment (refused when CI is set) the actual image
# replaces expected.png instead, once it passes the probes.
#
#   cmake -DPACKER=... -DRUNNER=... -DIMAGEDIFF=... -DGAMES=... -DWORK=... [-DONLY=<name>] -P RunGames.cmake
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
  set(screenshot "")
  if(EXISTS ${GAMES}/${name}/screenshot.json)
    set(screenshot RUNNER_SCREENSHOT=${work}/actual.png)
  endif()
  set(args "")
  if(EXISTS ${GAMES}/${name}/args)
    file(READ ${GAMES}/${name}/args args)
    separate_arguments(args UNIX_COMMAND "${args}")
  endif()
  # Mesa's driver is unloaded at the end of the run and LeakSanitizer would report its memory as
  # leaks of an unknown module; the unit tests check the runtime's own leaks.
  execute_process(COMMAND ${CMAKE_COMMAND} -E env
                          RUNNER_HEADLESS=1 RUNNER_FRAMES=${frames} RUNNER_FIXED_CLOCK=1
                          SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy ALSOFT_DRIVERS=null LP_NUM_THREADS=1
                          HOME=${work}/home XDG_DATA_HOME=${work}/home/.local/share
                          XDG_CONFIG_HOME=${work}/home/.config XDG_RUNTIME_DIR=${work}/home
                          "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1" ${screenshot}
                          ${RUNNER} -game ${work}/game.win ${args}
                  WORKING_DIRECTORY ${work}/cwd
                  RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors)
  file(WRITE ${work}/output.txt "${output}")
  file(READ ${GAMES}/${name}/expected.txt expected)
  if(NOT status EQUAL 0)
    message("game ${name}: the runner exited with ${status}\n${errors}")
    list(APPEND failed ${name})
  elseif(NOT output STREQUAL expected)
    message("game ${name}: the output differs from expected.txt\n--- expected\n${expected}--- got (${work}/output.txt)\n${output}")
    list(APPEND failed ${name})
  elseif(screenshot)
    set(expectedImage ${GAMES}/${name}/expected.png)
    if("$ENV{RUNNER_UPDATE_SCREENSHOTS}" STREQUAL "1")
      if(NOT "$ENV{CI}" STREQUAL "")
        message(FATAL_ERROR "RUNNER_UPDATE_SCREENSHOTS is refused in CI: expected images are only rewritten by hand")
      endif()
      execute_process(COMMAND ${IMAGEDIFF} ${work}/actual.png ${work}/actual.png ${GAMES}/${name}/screenshot.json
                              ${work}/difference.png
                      RESULT_VARIABLE compared OUTPUT_VARIABLE findings)
      if(compared EQUAL 0)
        file(COPY_FILE ${work}/actual.png ${expectedImage})
        message("game ${name}: expected.png rewritten")
      else()
        message("game ${name}: the new image fails its probes; expected.png kept\n${findings}")
        list(APPEND failed ${name})
      endif()
    elseif(NOT EXISTS ${expectedImage})
      message("game ${name}: ${expectedImage} is missing (RUNNER_UPDATE_SCREENSHOTS=1 writes it)")
      list(APPEND failed ${name})
    else()
      execute_process(COMMAND ${IMAGEDIFF} ${expectedImage} ${work}/actual.png ${GAMES}/${name}/screenshot.json
                              ${work}/difference.png
                      RESULT_VARIABLE compared OUTPUT_VARIABLE findings)
      if(compared EQUAL 0)
        message("game ${name}: ok (screenshot matches)")
      else()
        message("game ${name}: the screenshot differs from expected.png\n${findings}"
                "actual image: ${work}/actual.png\ndifference image: ${work}/difference.png")
        list(APPEND failed ${name})
      endif()
    endif()
  else()
    message("game ${name}: ok")
  endif()
endforeach()
if(count EQUAL 0)
  message(FATAL_ERROR "no game tests found in ${GAMES}")
endif()
if(failed)
  message(FATAL_ERROR "failed games: ${failed}")
endif()
