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

GuardedProcedure::GuardedProcedure(Dialogs& dialogs, QString path)
    : m_dialogs(dialogs), m_path(std::move(path))
{
}

void GuardedProcedure::report(const QString& description)
{
    if (m_line < 0)
        m_line = kFirstLine;
    m_dialogs.message(errorMessageText(description, m_path, m_line),
                      QStringLiteral("Application Error"), Dialogs::Icon::Warning);
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
