#pragma once

#include <QByteArray>
#include <QString>

struct zip;

namespace quillmore {

// The zip archive of a workbook, read from memory with libzip. Every part is
// taken at its declared size and no further, and a part that declares more
// than kMaxPartBytes is refused unread: a few kilobytes of zip can claim to
// unpack to gigabytes.
class XlsxArchive
{
public:
    static constexpr qint64 kMaxPartBytes = 200LL * 1024 * 1024;

    // Throws Failure when the bytes are not a zip archive. The archive reads
    // from `bytes` until it is gone, so they must outlive it.
    explicit XlsxArchive(const QByteArray& bytes);
    ~XlsxArchive();
    XlsxArchive(const XlsxArchive&) = delete;
    XlsxArchive& operator=(const XlsxArchive&) = delete;

    // Part names are compared without regard to case, as the package format
    // says. A missing part has no bytes.
    bool contains(const QString& name) const;
    // The part's bytes; throws Failure when it is missing, too big or damaged.
    QByteArray part(const QString& name) const;

private:
    zip* m_zip = nullptr;
};

} // namespace quillmore
