# Regenerates the bundled sample images and compares them byte for byte with
# the committed ones. Run as: cmake -DTOOL=... -DSAMPLES=... -DWORK=... -P
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
foreach(pair "B;ali3329b.bin" "DVR;ali3329b-dvr-ci.bin" "C;ali3329c.bin")
    list(GET pair 0 model)
    list(GET pair 1 name)
    execute_process(COMMAND "${TOOL}" --model ${model} "${WORK}/${name}" RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "make_sample_image --model ${model} failed: ${rc}")
    endif()
    execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${WORK}/${name}" "${SAMPLES}/${name}"
                    RESULT_VARIABLE differ)
    if(NOT differ EQUAL 0)
        message(FATAL_ERROR "samples/${name} differs from what make_sample_image writes now; "
                            "regenerate it (see README)")
    endif()
endforeach()
file(REMOVE_RECURSE "${WORK}")
