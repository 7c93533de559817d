# Checks of the headless harness around the game tests:
# - a headless run without RUNNER_FRAMES ends through the normal end after 600 steps (the counter
#   game prints its step count from its game-end event);
# - an unwritable RUNNER_SCREENSHOT path is reported and fails the run;
# - two runs of a screenshot game give the same image (no tolerance);
# - the screenshot game MOVED_GAME with MOVED_FROM replaced by MOVED_TO in MOVED_FILE (a sprite
#   moved by one pixel) fails the comparison with its expected.png.
#
#   cmake -DPACKER=... -DRUNNER=... -DIMAGEDIFF=... -DGAMES=... -DWORK=... -DMOVED_GAME=<name>
#         -DMOVED_FILE=<file in game/> -DMOVED_FROM=<text> -DMOVED_TO=<text> -P RunChecks.cmake
set(failed "")
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/cwd ${WORK}/home)

# Runs a game file headless with a fixed clock and the extra environment settings in ARGN.
function(run_game game)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env
                          RUNNER_HEADLESS=1 RUNNER_FIXED_CLOCK=1 SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy
                          ALSOFT_DRIVERS=null LP_NUM_THREADS=1 HOME=${WORK}/home XDG_DATA_HOME=${WORK}/home
                          XDG_CONFIG_HOME=${WORK}/home XDG_RUNTIME_DIR=${WORK}/home
                          "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1" ${ARGN}
                          ${RUNNER} -game ${game}
                  WORKING_DIRECTORY ${WORK}/cwd
                  RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors)
  set(status ${status} PARENT_SCOPE)
  set(output "${output}" PARENT_SCOPE)
  set(errors "${errors}" PARENT_SCOPE)
endfunction()

function(pack folder game)
  execute_process(COMMAND ${PACKER} ${folder} ${game} RESULT_VARIABLE packed ERROR_VARIABLE packError)
  if(NOT packed EQUAL 0)
    message(FATAL_ERROR "the packer failed on ${folder}: ${packError}")
  endif()
endfunction()

# 600 steps headless without RUNNER_FRAMES.
pack(${GAMES}/checks/counter ${WORK}/counter.win)
run_game(${WORK}/counter.win)
if(NOT status EQUAL 0 OR NOT output MATCHES "steps: 600\n")
  message("headless run without RUNNER_FRAMES: status ${status}, output:\n${output}${errors}")
  list(APPEND failed "600 steps")
endif()

# An unwritable screenshot path.
run_game(${WORK}/counter.win RUNNER_FRAMES=2 RUNNER_SCREENSHOT=${WORK}/missing/folder/shot.png)
if(status EQUAL 0 OR NOT errors MATCHES "screenshot ${WORK}/missing/folder/shot.png: " OR
   EXISTS ${WORK}/missing/folder/shot.png)
  message("unwritable screenshot path: status ${status}, errors:\n${errors}")
  list(APPEND failed "unwritable screenshot")
endif()

# Two runs, one image; a sprite moved by one pixel fails the comparison.
file(READ ${GAMES}/${MOVED_GAME}/frames frames)
string(STRIP "${frames}" frames)
pack(${GAMES}/${MOVED_GAME}/game ${WORK}/same.win)
foreach(run first second)
  run_game(${WORK}/same.win RUNNER_FRAMES=${frames} RUNNER_SCREENSHOT=${WORK}/${run}.png)
  if(NOT status EQUAL 0)
    message("${MOVED_GAME}, ${run} run: status ${status}\n${errors}")
    list(APPEND failed "${run} run")
  endif()
endforeach()
file(WRITE ${WORK}/exact.json "{\"tolerance\": 0, \"max_pixels\": 0}")
execute_process(COMMAND ${IMAGEDIFF} ${WORK}/first.png ${WORK}/second.png ${WORK}/exact.json ${WORK}/runs-difference.png
                RESULT_VARIABLE compared OUTPUT_VARIABLE findings)
if(NOT compared EQUAL 0)
  message("two runs of ${MOVED_GAME} gave different images:\n${findings}")
  list(APPEND failed "two runs")
endif()

file(COPY ${GAMES}/${MOVED_GAME}/game/ DESTINATION ${WORK}/moved)
file(READ ${WORK}/moved/${MOVED_FILE} source)
string(FIND "${source}" "${MOVED_FROM}" at)
if(at EQUAL -1)
  message(FATAL_ERROR "${MOVED_GAME}/game/${MOVED_FILE} holds no \"${MOVED_FROM}\"")
endif()
string(REPLACE "${MOVED_FROM}" "${MOVED_TO}" source "${source}")
file(WRITE ${WORK}/moved/${MOVED_FILE} "${source}")
pack(${WORK}/moved ${WORK}/moved.win)
run_game(${WORK}/moved.win RUNNER_FRAMES=${frames} RUNNER_SCREENSHOT=${WORK}/moved.png)
execute_process(COMMAND ${IMAGEDIFF} ${GAMES}/${MOVED_GAME}/expected.png ${WORK}/moved.png
                        ${GAMES}/${MOVED_GAME}/screenshot.json ${WORK}/moved-difference.png
                RESULT_VARIABLE compared OUTPUT_VARIABLE findings)
if(NOT status EQUAL 0 OR NOT compared EQUAL 1 OR NOT EXISTS ${WORK}/moved-difference.png)
  message("${MOVED_GAME} moved by one pixel: status ${status}, comparison ${compared}\n${findings}")
  list(APPEND failed "moved by one pixel")
endif()

if(failed)
  message(FATAL_ERROR "failed checks: ${failed}")
endif()
message("every check passed")
