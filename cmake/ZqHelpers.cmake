# Shared build helpers: one library per source folder, one test executable per unit.

# zq_add_library(<name> [DEPS <targets>...] [EXCLUDE <files>...])
# Collects the folder's sources; a folder without sources yet becomes an interface library.
function(zq_add_library name)
    cmake_parse_arguments(ARG "" "" "DEPS;EXCLUDE" ${ARGN})
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS
         ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
    foreach(excluded IN LISTS ARG_EXCLUDE)
        list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${excluded})
    endforeach()
    set(has_compiled FALSE)
    foreach(source IN LISTS sources)
        if(source MATCHES "\\.(cpp|c)$")
            set(has_compiled TRUE)
        endif()
    endforeach()
    if(has_compiled)
        add_library(${name} STATIC ${sources})
        target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
        target_link_libraries(${name} PUBLIC ${ARG_DEPS})
    else()
        add_library(${name} INTERFACE)
        target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR}/src)
        target_link_libraries(${name} INTERFACE ${ARG_DEPS})
    endif()
endfunction()

# zq_add_test(<name> SOURCES <files>... [LIBS <targets>...] [LABELS <labels>...] [ENV <VAR=value>...]
#             [TIMEOUT <seconds>])
# Labels: x11 (needs the X server of the test run), webengine (loads QtWebEngine), dbus, slow.
# Every test gets a fresh temporary HOME and XDG folders from the support library's main.
function(zq_add_test name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
    if("webengine" IN_LIST ARG_LABELS AND NOT ZQ_WEBENGINE_TESTS)
        return()
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE zq_test_support Qt5::Test ${ARG_LIBS})
    add_test(NAME ${name} COMMAND ${name})
    set(env "QTWEBENGINE_DISABLE_SANDBOX=1" "QT_QUICK_BACKEND=software" "QT_LOGGING_RULES=qt.qpa.*=false"
            "ZQ_SOURCE_DIR=${CMAKE_SOURCE_DIR}" "ZQ_BINARY_DIR=${CMAKE_BINARY_DIR}"
            "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1" "UBSAN_OPTIONS=print_stacktrace=1")
    if(NOT "x11" IN_LIST ARG_LABELS AND NOT "webengine" IN_LIST ARG_LABELS)
        list(APPEND env "QT_QPA_PLATFORM=offscreen")
    else()
        list(APPEND env "QT_QPA_PLATFORM=xcb")
    endif()
    list(APPEND env ${ARG_ENV})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}" LABELS "${ARG_LABELS}" TIMEOUT ${ARG_TIMEOUT})
endfunction()

# zq_add_node_test(<name> <script> [LABELS ...]): a Node test-runner file registered with CTest.
function(zq_add_node_test name script)
    cmake_parse_arguments(ARG "" "" "LABELS" ${ARGN})
    find_program(NODE_EXECUTABLE node REQUIRED)
    add_test(NAME ${name} COMMAND ${NODE_EXECUTABLE} --test ${script})
    set_tests_properties(${name} PROPERTIES LABELS "node;${ARG_LABELS}")
endfunction()
