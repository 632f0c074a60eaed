#include "shell/errorreport.h"

#include "shell/dialogs.h"
#include "shell/quillmore_config.h"

namespace quillmore {

Failure::Failure(const QString& description) : std::runtime_error(description.toStdString()) {}

QString Failure::description() const
{
    return QString::fromStdString(what());
}

QString supportEmail()
{
    return QStringLiteral(QUILLMORE_SUPPORT_EMAIL);
}

QString errorMessageText(const QString& description, const QString& procedurePath, int line,
                         const QString& email)
{
    return description + QStringLiteral("\r\n") + procedurePath + QStringLiteral("at line ") +
           QString::number(line) + QStringLiteral("\r\r") +
           QStringLiteral("Please email screenshot of this message to ") + email;
}

QString procedurePath(const QString& module, const QString& procedure)
{
    return QStringLiteral("in Vantrel2021/08/31.") + module + QLatin1Char('.') + procedure +
           QLatin1Char(' ');
}

// The one wording of a report: every box of it looks the same, whoever failed.
static void showReport(Dialogs& dialogs, const QString& description, const QString& procedurePath,
                       int line)
{
    dialogs.message(errorMessageText(description, procedurePath, line),
                    QStringLiteral("Application Error"), Dialogs::Icon::Warning);
}

// Each step's line is the one its statement had when every statement of the
// procedure counted two (100, 102, ...); users quote these numbers to support.
StepPlace stepPlace(Step step)
{
    const QString readCurl =
        procedurePath(QStringLiteral("CurlFunctions"), QStringLiteral("ReadCurl"));
    switch (step) {
    case Step::RunStaging:
        return {{}, 108};
    case Step::RunProgress:
        return {{}, 114};
    case Step::RunConsole:
        return {{}, 124};
    case Step::RunRow:
        return {{}, 136};
    case Step::RunPause:
        return {{}, 140};
    case Step::RequestStart:
        return {readCurl, 106};
    case Step::RequestRead:
        return {readCurl, 112};
    case Step::ValueRead:
        return {procedurePath(QStringLiteral("CurlFunctions"), QStringLiteral("GetJSValue")), 100};
    case Step::KeyTestStaging:
        return {{}, 102};
    }
    return {{}, 100};
}

void reportFailure(Dialogs& dialogs, const QString& procedure, Step step, const Failure& failure)
{
    const StepPlace place = stepPlace(step);
    showReport(dialogs, failure.description(),
               place.procedure.isEmpty() ? procedure : place.procedure, place.line);
}

GuardedProcedure::GuardedProcedure(Dialogs& dialogs, QString path)
    : m_dialogs(dialogs), m_path(std::move(path))
{
}

void GuardedProcedure::report(const QString& description)
{
    if (m_line < 0)
        m_line = kFirstLine;
    showReport(m_dialogs, description, m_path, m_line);
}

void GuardedProcedure::reportCurrent(std::exception_ptr error)
{
    report(describe(error));
}

QString describe(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const Failure& f) {
        return f.description();
    } catch (const std::bad_alloc&) {
        return QStringLiteral("Out of memory");
    } catch (const std::exception& e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
        return QStringLiteral("Unexpected failure");
    }
}

} // namespace quillmore
