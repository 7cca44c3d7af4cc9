// The natural name order of a folder's movies, on the names in the input (one
// a line, as a folder's entries come through QFile::decodeName): std::sort
// needs a strict weak order, and this one must also be total.
#include "MovieFolders.h"

#include <QFile>
#include <QList>
#include <algorithm>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    QList<QString> names;
    const QByteArray input = QByteArray::fromRawData(
        reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    for (const QByteArray& line : input.split('\n')) {
        if (names.size() == 12)
            break;
        names.append(QFile::decodeName(line));
    }

    const auto less = movieFolders::naturalLess;
    for (const QString& a : names) {
        if (less(a, a))
            std::abort();
        for (const QString& b : names) {
            if (less(a, b) && less(b, a))
                std::abort();
            if (a != b && !less(a, b) && !less(b, a))
                std::abort();
            for (const QString& c : names) {
                if (less(a, b) && less(b, c) && !less(a, c))
                    std::abort();
            }
        }
    }
    std::sort(names.begin(), names.end(), less);
    if (!std::is_sorted(names.begin(), names.end(), less))
        std::abort();
    return 0;
}
