#include "cli/stderrdialogs.h"

#include <cstdio>

namespace quillmore::cli {

void writeError(const QString& text)
{
    QByteArray bytes = text.toLocal8Bit();
    if (!bytes.endsWith('\n'))
        bytes += '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

void StderrDialogs::showMessage(const QString& text, const QString&, Icon)
{
    if (beforeMessage)
        beforeMessage();
    writeError(text);
}

} // namespace quillmore::cli
