# Qt's and the standard library's headers take about half of a file's compile time here. A library
# or test program of several files parses them once, into its precompiled header, instead of once
# per file. Only headers nearly every file includes anyway go in, so that a file still compiles on
# its own includes (build with -DCMAKE_DISABLE_PRECOMPILE_HEADERS=ON to check).
set(QBY_COMMON_HEADERS
    <QByteArray> <QDir> <QFile> <QFileInfo> <QList> <QString> <QStringList> <QUrl> <QVariantMap>
    <algorithm> <functional> <memory> <optional> <string> <vector>)

function(qby_precompile_common_headers target)
    target_precompile_headers(${target} PRIVATE ${QBY_COMMON_HEADERS})
endfunction()

# Test programs: the common headers and the test framework's.
function(qby_precompile_test_headers target)
    target_precompile_headers(${target} PRIVATE ${QBY_COMMON_HEADERS} <QTemporaryDir>
                              <gtest/gtest.h>)
endfunction()
