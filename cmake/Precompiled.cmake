# Headers that nearly every source of a target parses, precompiled once per
# target: they halve a cold build, and scripts/test.sh builds four trees
# from scratch. A compiler cache cannot cache compiles that use them, so a
# tree configured with one (scripts/build.sh with ccache) goes without
# unless TROVIX_PCH is asked for.
if(CMAKE_CXX_COMPILER_LAUNCHER)
  set(trovix_pch_default OFF)
else()
  set(trovix_pch_default ON)
endif()
option(TROVIX_PCH "Precompile the Qt, GoogleTest and standard headers" ${trovix_pch_default})

set(TROVIX_PCH_CORE
  <QByteArray> <QDataStream> <QDir> <QFile> <QFileInfo> <QHash> <QList> <QMap>
  <QObject> <QSet> <QString> <QStringList> <QTextStream> <QVariant> <QtEndian>
  <algorithm> <atomic> <cstdint> <cstring> <functional> <memory> <mutex> <optional> <vector>)
set(TROVIX_PCH_TESTS ${TROVIX_PCH_CORE} <QCoreApplication> <QTemporaryDir> <gtest/gtest.h>)
set(TROVIX_PCH_WIDGETS ${TROVIX_PCH_CORE}
  <QAction> <QApplication> <QDialog> <QHBoxLayout> <QImage> <QLabel> <QLineEdit> <QMenu> <QMessageBox>
  <QPainter> <QPushButton> <QVBoxLayout> <QWidget>)
set(TROVIX_PCH_WIDGET_TESTS ${TROVIX_PCH_WIDGETS} <QTemporaryDir> <QTest> <gtest/gtest.h>)

# trovix_precompile(TARGET LIST): precompiles the headers of LIST (one of
# the lists above) for TARGET's C++ sources.
function(trovix_precompile target list)
  if(NOT TROVIX_PCH)
    return()
  endif()
  set(headers ${${list}})
  # Only C++ sources get them; a closing angle bracket ends a generator
  # expression, so it is written as one.
  list(TRANSFORM headers REPLACE ">$" "$<ANGLE-R>")
  list(TRANSFORM headers PREPEND "$<$<COMPILE_LANGUAGE:CXX>:")
  list(TRANSFORM headers APPEND ">")
  target_precompile_headers(${target} PRIVATE ${headers})
endfunction()

# trovix_precompile_like(TARGET OTHER): TARGET, built with the same flags as
# OTHER, uses OTHER's precompiled headers instead of making its own.
function(trovix_precompile_like target other)
  if(TROVIX_PCH)
    target_precompile_headers(${target} REUSE_FROM ${other})
  endif()
endfunction()
