#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class QFileDevice;
class QIODevice;

namespace quillmore::cli {

// Where a run's rows go: standard output, or `--output FILE`. A file that is
// there already is replaced only by a run in which every number got its row;
// the rows of a run that did not finish go beside it, to FILE.partial.
class OutputTarget
{
public:
    // Refuses, with a Failure for the user, an output that is one of the
    // inputs or a folder, and an output that cannot be opened.
    OutputTarget(const QString& path, const QStringList& inputs);
    ~OutputTarget();

    QIODevice& device();
    bool isFile() const { return !m_path.isEmpty(); }
    QString path() const { return m_path; }
    QString partialPath() const { return m_path + QStringLiteral(".partial"); }

    // Puts the complete file in place; a FILE.partial an earlier run left
    // goes, since this file holds all of it. Throws Failure.
    void commit();
    // The run did not finish: FILE stays as it was.
    void cancel();

private:
    QString m_path;
    std::unique_ptr<QFileDevice> m_device;
};

} // namespace quillmore::cli
