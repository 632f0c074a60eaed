#include "tables/xlsxarchive.h"

#include "shell/errorreport.h"

#include <zip.h>

namespace quillmore {

XlsxArchive::XlsxArchive(const QByteArray& bytes)
{
    zip_error_t error;
    zip_error_init(&error);
    // libzip will not take an empty buffer for an archive, nor should it.
    zip_source_t* source =
        bytes.isEmpty() ? nullptr
                        : zip_source_buffer_create(bytes.constData(), bytes.size(), 0, &error);
    if (source)
        m_zip = zip_open_from_source(source, ZIP_RDONLY, &error);
    if (!m_zip) {
        if (source)
            zip_source_free(source);
        zip_error_fini(&error);
        throw Failure(
            QStringLiteral("The file is not an Excel workbook (.xlsx): it is not a zip archive."));
    }
    zip_error_fini(&error);
}

XlsxArchive::~XlsxArchive()
{
    zip_discard(m_zip);
}

bool XlsxArchive::contains(const QString& name) const
{
    return zip_name_locate(m_zip, name.toUtf8().constData(), ZIP_FL_NOCASE) >= 0;
}

QByteArray XlsxArchive::part(const QString& name) const
{
    const zip_int64_t index = zip_name_locate(m_zip, name.toUtf8().constData(), ZIP_FL_NOCASE);
    if (index < 0)
        throw Failure(
            QStringLiteral("The file is not an Excel workbook (.xlsx): it has no part %1.")
                .arg(name));
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(m_zip, zip_uint64_t(index), 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE))
        throw Failure(QStringLiteral("The workbook's part %1 cannot be read: %2")
                          .arg(name, QString::fromLocal8Bit(zip_strerror(m_zip))));
    if (stat.size > zip_uint64_t(kMaxPartBytes))
        throw Failure(
            QStringLiteral("The workbook's part %1 says it unpacks to %2 bytes, more than "
                           "the %3 bytes a part may have; the file is refused.")
                .arg(name)
                .arg(quint64(stat.size))
                .arg(kMaxPartBytes));
    zip_file_t* file = zip_fopen_index(m_zip, zip_uint64_t(index), 0);
    if (!file)
        throw Failure(QStringLiteral("The workbook's part %1 cannot be read: %2")
                          .arg(name, QString::fromLocal8Bit(zip_strerror(m_zip))));
    QByteArray bytes(qsizetype(stat.size), Qt::Uninitialized);
    qsizetype got = 0;
    zip_int64_t n = 0;
    while (got < bytes.size() &&
           (n = zip_fread(file, bytes.data() + got, zip_uint64_t(bytes.size() - got))) > 0)
        got += qsizetype(n);
    QString problem;
    if (n < 0)
        problem = QString::fromLocal8Bit(zip_error_strerror(zip_file_get_error(file)));
    else if (got < bytes.size())
        problem = QStringLiteral("it ends before its declared size");
    zip_fclose(file);
    if (!problem.isEmpty())
        throw Failure(
            QStringLiteral("The workbook's part %1 cannot be read: %2").arg(name, problem));
    return bytes;
}

} // namespace quillmore
