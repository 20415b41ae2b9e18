# Golden replays: runs velmora-replay on a committed script and compares what
# it wrote (trace, exit code, dialogs, the hash of every frame's pixels and a
# SHA-256 of the audio) with the committed expectation; MODE=update rewrites
# the expectation. Frames are written as pictures only when the run differs.
#
#   cmake -DREPLAY=<velmora-replay> -DSCRIPT=<x.replay> -DWORK=<scratch dir>
#         -DMODE=check|update -P GoldenReplay.cmake
#
# The expectation of tests/golden/x.replay (or of the recorded session
# x.session) is tests/golden/x.expected.
# A line "# options: ..." in the script gives extra velmora-replay options.
#
# With SHOTS=<docs dir> it instead checks (or rewrites) the README's two
# screenshots: frames 1 and 12 of docs/screenshots.replay are title.png and
# play.png byte for byte.

foreach(var REPLAY SCRIPT WORK MODE)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "GoldenReplay.cmake needs -D${var}=...")
  endif()
endforeach()

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

# A recorded session (x.session) replays with --session; a script is the
# last argument.
if(SCRIPT MATCHES "\\.session$")
  set(input --session ${SCRIPT})
else()
  set(input ${SCRIPT})
endif()

function(run_replay)
  execute_process(COMMAND ${REPLAY} --out ${WORK}/out ${ARGN} ${input}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "velmora-replay failed (${rc}) on ${SCRIPT}:\n${out}${err}")
  endif()
endfunction()

if(DEFINED SHOTS)
  run_replay(--frames 1,12)
  foreach(pair "tick-1.png;title.png" "tick-12.png;play.png")
    list(GET pair 0 made)
    list(GET pair 1 kept)
    if(MODE STREQUAL "update")
      file(COPY_FILE ${WORK}/out/frames/${made} ${SHOTS}/${kept})
    else()
      file(SHA256 ${WORK}/out/frames/${made} made_hash)
      file(SHA256 ${SHOTS}/${kept} kept_hash)
      if(NOT made_hash STREQUAL kept_hash)
        message(FATAL_ERROR "docs/${kept} is not what the README's command makes today (frame ${made}); "
                            "see ${WORK}/out/frames/${made}, and rewrite it with: "
                            "cmake --build --preset <preset> --target golden-update")
      endif()
    endif()
  endforeach()
  return()
endif()

# Extra options from the script's "# options:" line.
file(STRINGS ${SCRIPT} option_lines REGEX "^# options:")
set(options "")
foreach(line ${option_lines})
  string(REGEX REPLACE "^# options:[ ]*" "" line "${line}")
  separate_arguments(line UNIX_COMMAND "${line}")
  list(APPEND options ${line})
endforeach()
run_replay(--frames none ${options})

# The expectation: exit code, dialogs, audio and per-frame hashes (number,
# time, size, hash of the pixels), then the trace verbatim.
set(text "")
if(EXISTS ${WORK}/out/exit-code)
  file(READ ${WORK}/out/exit-code code)
  string(STRIP "${code}" code)
  string(APPEND text "exit-code ${code}\n")
else()
  string(APPEND text "exit-code none (stopped by --until)\n")
endif()
file(SHA256 ${WORK}/out/audio.wav hash)
string(APPEND text "audio.wav ${hash}\n")
file(READ ${WORK}/out/dialogs.jsonl dialogs)
string(APPEND text "${dialogs}")
file(STRINGS ${WORK}/out/frame-hashes.txt frame_lines)
foreach(line ${frame_lines})
  string(APPEND text "frame ${line}\n")
endforeach()
file(READ ${WORK}/out/trace.jsonl trace)
string(APPEND text "${trace}")

string(REGEX REPLACE "\\.(replay|session)$" ".expected" expected_file "${SCRIPT}")
if(MODE STREQUAL "update")
  file(WRITE ${expected_file} "${text}")
  return()
endif()

file(WRITE ${WORK}/made.expected "${text}")
if(NOT EXISTS ${expected_file})
  message(FATAL_ERROR "no expectation ${expected_file}; make it with the golden-update target")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${expected_file} ${WORK}/made.expected
                RESULT_VARIABLE differs)
if(differs)
  # The same run again, every frame written as a picture to look at.
  run_replay(--frames all ${options})
  execute_process(COMMAND diff -u ${expected_file} ${WORK}/made.expected OUTPUT_VARIABLE diff_text)
  string(SUBSTRING "${diff_text}" 0 4000 diff_text)
  message(FATAL_ERROR "${SCRIPT}: the run differs from its expectation (frames in ${WORK}/out/frames):\n"
                      "${diff_text}\nAfter an intended change rewrite the expectations with:\n"
                      "  cmake --build --preset <preset> --target golden-update")
endif()
