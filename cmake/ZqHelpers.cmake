# Shared build helpers: one library per source folder, one test executable per unit.

# zq_add_library(<name> [PUBLIC <targets>...] [PRIVATE <targets>...] [EXCLUDE <files>...])
# Collects the folder's sources; a folder without sources yet becomes an interface library. A subfolder
# with a CMakeLists.txt of its own is a library of its own (a subsystem's ui library on its logic).
# PUBLIC names what the library's headers include, PRIVATE what only its sources include (DEPS is the
# older spelling of PUBLIC).
function(zq_add_library name)
    cmake_parse_arguments(ARG "" "" "PUBLIC;PRIVATE;DEPS;EXCLUDE" ${ARGN})
    list(APPEND ARG_PUBLIC ${ARG_DEPS})
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS
         ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
    file(GLOB_RECURSE own_libraries CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*/CMakeLists.txt)
    foreach(own IN LISTS own_libraries)
        get_filename_component(own_dir ${own} DIRECTORY)
        foreach(source IN LISTS sources)
            string(FIND "${source}" "${own_dir}/" at)
            if(at EQUAL 0)
                list(REMOVE_ITEM sources ${source})
            endif()
        endforeach()
    endforeach()
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
        target_link_libraries(${name} PUBLIC ${ARG_PUBLIC} PRIVATE ${ARG_PRIVATE})
    else()
        if(ARG_PRIVATE)
            message(FATAL_ERROR "${name} has no sources of its own to link ${ARG_PRIVATE} privately")
        endif()
        add_library(${name} INTERFACE)
        target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR}/src)
        target_link_libraries(${name} INTERFACE ${ARG_PUBLIC})
    endif()
endfunction()

# zq_add_test(<name> SOURCES <files>... [LIBS <targets>...] [LABELS <labels>...] [ENV <VAR=value>...]
#             [TIMEOUT <seconds>])
# Labels: x11 (needs the X server of the test run), webengine (loads QtWebEngine), dbus, slow.
# Every test gets a fresh temporary HOME and XDG folders from the support library's main.
set(ZQ_WEBENGINE_TEST_PROCESSORS 2 CACHE STRING "The cores ctest counts for each test that loads QtWebEngine")

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
    if("webengine" IN_LIST ARG_LABELS)
        # Each starts a browser of several processes: counted as more than one job, they do not crowd
        # the cores of a parallel run.
        set_tests_properties(${name} PROPERTIES PROCESSORS ${ZQ_WEBENGINE_TEST_PROCESSORS})
    endif()
endfunction()

# zq_add_node_test(<name> <script> [LABELS ...]): a Node test-runner file registered with CTest.
function(zq_add_node_test name script)
    cmake_parse_arguments(ARG "" "" "LABELS" ${ARGN})
    find_program(NODE_EXECUTABLE node REQUIRED)
    add_test(NAME ${name} COMMAND ${NODE_EXECUTABLE} --test ${script})
    set_tests_properties(${name} PROPERTIES LABELS "node;${ARG_LABELS}")
endfunction()

# zq_forbid_links(<target> <forbidden targets>...)
# Fails the configuration when the target's link closure, as it stands once every folder is read, holds
# one of the forbidden targets: a library meant to stay free of widgets or Xlib cannot gain them unseen.
function(zq_forbid_links target)
    # Deferred arguments are expanded when the call runs, so the names are written into the call now.
    cmake_language(EVAL CODE "cmake_language(DEFER DIRECTORY [[${CMAKE_SOURCE_DIR}]] CALL _zq_check_links ${target} ${ARGN})")
endfunction()

function(_zq_check_links target)
    _zq_link_closure(${target} closure)
    foreach(forbidden IN LISTS ARGN)
        if(forbidden IN_LIST closure)
            message(FATAL_ERROR "${target} must not link ${forbidden}, but its link closure holds it")
        endif()
    endforeach()
endfunction()

# _zq_link_closure(<target> <out-var> [COMPILE]): every target the given one links, directly or through
# others. With COMPILE, only those whose headers its sources see: the private links of the libraries it
# links are left out, since they reach it at link time alone.
function(_zq_link_closure target out)
    set(compile_only FALSE)
    if(ARGV2 STREQUAL "COMPILE")
        set(compile_only TRUE)
    endif()
    set(pending ${target})
    set(seen "")
    while(pending)
        list(POP_FRONT pending current)
        if(current IN_LIST seen OR NOT TARGET ${current})
            continue()
        endif()
        list(APPEND seen ${current})
        get_target_property(type ${current} TYPE)
        set(links "")
        if(NOT type STREQUAL "INTERFACE_LIBRARY" AND (NOT compile_only OR current STREQUAL target))
            get_target_property(direct ${current} LINK_LIBRARIES)
            if(direct)
                list(APPEND links ${direct})
            endif()
        endif()
        get_target_property(interface ${current} INTERFACE_LINK_LIBRARIES)
        if(interface)
            list(APPEND links ${interface})
        endif()
        foreach(link IN LISTS links)
            if(compile_only AND link MATCHES "^\\$<LINK_ONLY:")
                continue()
            endif()
            # Generator expressions hold the build-time links of imported targets; take their names.
            string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" link "${link}")
            if(NOT link MATCHES "^\\$<")
                list(APPEND pending ${link})
            endif()
        endforeach()
    endwhile()
    set(${out} ${seen} PARENT_SCOPE)
endfunction()

# zq_precompile_headers(): called once, after every folder is read. Parsing Qt's headers is most of the
# build's time, so a few holder targets precompile the headers of cmake/pch/ once, and every target whose
# sources see a holder's Qt modules reuses the most specific one. A holder links the modules its header
# needs, and no more: Qt's headers it holds test no other module's definitions, so a target that sees
# more modules reuses it as well. A target that sets ZQ_NO_PCH, or compiles with options of its own (the
# fuzz targets), parses its headers as before.
function(zq_precompile_headers)
    if(NOT ZQ_PCH)
        return()
    endif()
    _zq_add_pch_holder(zq_pch_test test.h Qt5::Core Qt5::Gui Qt5::Network Qt5::Widgets Qt5::DBus Qt5::Test)
    _zq_add_pch_holder(zq_pch_widgets widgets.h Qt5::Core Qt5::Gui Qt5::Widgets)
    _zq_add_pch_holder(zq_pch_logic logic.h Qt5::Core)
    set(holders zq_pch_test zq_pch_widgets zq_pch_logic)
    get_target_property(holder_options zq_pch_logic COMPILE_OPTIONS)

    _zq_targets_below(${CMAKE_SOURCE_DIR} targets)
    foreach(target IN LISTS targets)
        get_target_property(type ${target} TYPE)
        get_target_property(opted_out ${target} ZQ_NO_PCH)
        get_target_property(options ${target} COMPILE_OPTIONS)
        if(target IN_LIST holders OR opted_out OR NOT options STREQUAL holder_options
           OR NOT type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY)$")
            continue()
        endif()
        # A holder's headers must be ones the target's sources can see, not merely ones it links.
        _zq_link_closure(${target} closure COMPILE)
        foreach(holder IN LISTS holders)
            get_target_property(modules ${holder} ZQ_PCH_MODULES)
            set(missing ${modules})
            list(REMOVE_ITEM missing ${closure})
            if(NOT missing)
                target_precompile_headers(${target} REUSE_FROM ${holder})
                if(type STREQUAL "EXECUTABLE")
                    # An executable's sources include their own moc output, which leaves AUTOMOC's
                    # compilation unit empty: loading the precompiled headers there costs more than it saves.
                    get_target_property(autogen_dir ${target} AUTOGEN_BUILD_DIR)
                    if(NOT autogen_dir)
                        get_target_property(binary_dir ${target} BINARY_DIR)
                        set(autogen_dir ${binary_dir}/${target}_autogen)
                    endif()
                    set_source_files_properties(${autogen_dir}/mocs_compilation.cpp TARGET_DIRECTORY ${target}
                                                PROPERTIES SKIP_PRECOMPILE_HEADERS ON)
                endif()
                break()
            endif()
        endforeach()
    endforeach()
endfunction()

# A holder compiles one empty source with the precompiled header and links the given modules privately,
# so that its flags and definitions are those its header needs, which every target reusing it has too.
function(_zq_add_pch_holder name header)
    set(source ${CMAKE_BINARY_DIR}/pch/${name}.cpp)
    file(CONFIGURE OUTPUT ${source} CONTENT "// Holds the precompiled cmake/pch/${header}.\n")
    add_library(${name} OBJECT ${source})
    target_link_libraries(${name} PRIVATE ${ARGN})
    target_precompile_headers(${name} PRIVATE ${CMAKE_SOURCE_DIR}/cmake/pch/${header})
    set_target_properties(${name} PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF ZQ_PCH_MODULES "${ARGN}")
endfunction()

function(_zq_targets_below dir out)
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    foreach(subdir IN LISTS subdirs)
        _zq_targets_below(${subdir} below)
        list(APPEND targets ${below})
    endforeach()
    set(${out} ${targets} PARENT_SCOPE)
endfunction()

