# Strict warnings and hardening for every target of the project.
function(quorvella_target_defaults target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic $<$<COMPILE_LANGUAGE:CXX>:-Wold-style-cast>
        $<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor>
        -Wshadow=local
        -Werror
        -fstack-protector-strong)
    target_compile_definitions(${target} PRIVATE
        QT_NO_URL_CAST_FROM_STRING
        QUORVELLA_VERSION="${PROJECT_VERSION}"
        $<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
    if(QUORVELLA_SANITIZE)
        target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer)
        target_link_options(${target} PRIVATE -fsanitize=address,undefined)
    endif()
    quorvella_use_pch(${target})
endfunction()

# The Qt headers most sources include, compiled once per build folder and reused by every
# target. GCC takes a precompiled header only when the position-independent code setting, the
# optimisation and sanitizer flags and the Qt macros it reads match, so there is one for the
# libraries (-fPIC) and one for the programs (-fPIE), each with exactly the flags of
# quorvella_target_defaults and only the macros every target has (QtCore's): the include
# folders of the other modules come without their QT_*_LIB macros, which QtTest reads (so it
# stays out).
option(QUORVELLA_PCH "Precompile the Qt headers" ON)
set(QUORVELLA_PCH_HEADERS
    <QByteArray> <QCoreApplication> <QDateTime> <QDebug> <QDir> <QElapsedTimer> <QFile>
    <QFileInfo> <QHash> <QJsonArray> <QJsonDocument> <QJsonObject> <QJsonValue> <QList> <QMap>
    <QMutex> <QObject> <QPointer> <QRegularExpression> <QStandardPaths> <QString> <QStringList>
    <QThread> <QTimer> <QUrl> <QVariant>
    <QNetworkAccessManager> <QNetworkReply> <QNetworkRequest>
    <QApplication> <QHBoxLayout> <QIcon> <QImage> <QLabel> <QLineEdit> <QPainter>
    <QPushButton> <QVBoxLayout> <QWidget>)

function(quorvella_add_pch_donors)
    if(NOT QUORVELLA_PCH)
        return()
    endif()
    set(source ${CMAKE_BINARY_DIR}/quorvella_pch_main.cpp)
    if(NOT EXISTS ${source})
        file(WRITE ${source} "int main() { return 0; }\n")
    endif()
    add_library(quorvella_pch STATIC ${source})
    add_executable(quorvella_pch_exe EXCLUDE_FROM_ALL ${source})
    foreach(donor quorvella_pch quorvella_pch_exe)
        set_target_properties(${donor} PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
        target_link_libraries(${donor} PRIVATE Qt6::Core)
        foreach(module Gui Widgets Network)
            target_include_directories(${donor} SYSTEM PRIVATE
                $<TARGET_PROPERTY:Qt6::${module},INTERFACE_INCLUDE_DIRECTORIES>)
        endforeach()
        quorvella_target_defaults(${donor})
        target_precompile_headers(${donor} PRIVATE ${QUORVELLA_PCH_HEADERS})
    endforeach()
endfunction()

function(quorvella_use_pch target)
    if(NOT QUORVELLA_PCH OR target MATCHES "^quorvella_pch")
        return()
    endif()
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
        target_precompile_headers(${target} REUSE_FROM quorvella_pch_exe)
    else()
        target_precompile_headers(${target} REUSE_FROM quorvella_pch)
    endif()
endfunction()

# A static library of one subsystem.
function(quorvella_add_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_LIBS})
    quorvella_target_defaults(${name})
    if(QUORVELLA_SANITIZE)
        target_link_options(${name} INTERFACE -fsanitize=address,undefined)
    endif()
endfunction()
