# zrv_core: the instruments' window-free code (trigger, measurements, scales, synthesis,
# transform, logic series, file readers and writers, exports). Included by this folder's
# CMakeLists.txt and by fuzz/, which builds it instrumented. Users include by path from src/.
file(GLOB_RECURSE ZRV_CORE_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp
     ${CMAKE_CURRENT_LIST_DIR}/*.h)
list(FILTER ZRV_CORE_SOURCES EXCLUDE REGEX
     "/(page|controls|limitedspinbox|status|runbuttons|oscyloskop|generator|mmlwidget|analizator|analizatorlog|decodedialog|bodepage)\\.(h|cpp)$")
# The protocol decoders are a library of their own (logic/decode/, zrv_decode).
list(FILTER ZRV_CORE_SOURCES EXCLUDE REGEX "/logic/decode/")
find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBZIP REQUIRED IMPORTED_TARGET libzip)
add_library(zrv_core STATIC ${ZRV_CORE_SOURCES})
target_include_directories(zrv_core PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
target_link_libraries(zrv_core PUBLIC Qt5::Core PRIVATE PkgConfig::LIBZIP)
set_target_properties(zrv_core PROPERTIES AUTOMOC OFF)
