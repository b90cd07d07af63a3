# Shared compile settings for every Kartoplot target.
add_library(kartoplot_options INTERFACE)
target_compile_options(kartoplot_options INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion
  -Wnon-virtual-dtor -Woverloaded-virtual
  # GCC 12 reports impossible overlaps inside libstdc++'s string copies at -O2 (a known false
  # positive of that release).
  $<$<AND:$<CXX_COMPILER_ID:GNU>,$<VERSION_GREATER_EQUAL:$<CXX_COMPILER_VERSION>,12>>:-Wno-restrict>)
target_include_directories(kartoplot_options INTERFACE ${PROJECT_SOURCE_DIR})
if(KARTOPLOT_SANITIZE)
  target_compile_options(kartoplot_options INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(kartoplot_options INTERFACE -fsanitize=address,undefined)
endif()

# kartoplot_module(<name> SOURCES ... DEPS ...): one library target per module folder.
function(kartoplot_module name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_link_libraries(${name} PUBLIC kartoplot_options ${ARG_DEPS})
endfunction()

# kartoplot_test(<name> SOURCES ... DEPS ...): one GoogleTest program per module.
function(kartoplot_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE kartoplot_options ${ARG_DEPS} GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

# kartoplot_qt_test(<name> SOURCES ... DEPS ... [WIDGETS]): a GoogleTest program that runs inside
# an offscreen Qt application (a QApplication with WIDGETS, else a QGuiApplication).
function(kartoplot_qt_test name)
  cmake_parse_arguments(ARG "WIDGETS" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${PROJECT_SOURCE_DIR}/tests/qt_test_main.cpp ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE kartoplot_options ${ARG_DEPS} GTest::gtest Qt6::Gui)
  if(ARG_WIDGETS)
    target_compile_definitions(${name} PRIVATE KARTOPLOT_TEST_WIDGETS)
    target_link_libraries(${name} PRIVATE Qt6::Widgets Qt6::Test)
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
