#pragma once

#include <QString>

#include <concepts>
#include <exception>
#include <stdexcept>
#include <type_traits>

namespace quillmore {

class Dialogs;

// The description of whatever was thrown.
QString describe(std::exception_ptr error);

// A failure that the uniform error report names. The text is what the user
// reads, so it carries the system's own wording where there is one.
// Copied freely: the engine hands one to whoever shows it, through a signal.
class Failure : public std::runtime_error
{
public:
    explicit Failure(const QString& description = {});
    QString description() const;
};

// Configured at build time; the report and the "API has changed." message end with it.
QString supportEmail();

// The complete text of an "Application Error" box.
QString errorMessageText(const QString& description, const QString& procedurePath, int line,
                         const QString& email = supportEmail());

// The path every guarded procedure names itself by, e.g. procedurePath("Form1", "Form_Load")
// gives "in Vantrel2021/08/31.Form1.Form_Load ".
QString procedurePath(const QString& module, const QString& procedure);

// The engine's steps that can fail while the job goes on, in whatever job
// they run. The engine names the step of a failure and nothing more; the
// report below turns it into the line the user reads.
enum class Step {
    // A lookup run (the main window's start button)
    RunStaging,
    RunProgress,
    RunConsole,
    RunRow,
    RunPause,
    // A request, in a run or a key test (the shared CurlFunctions.ReadCurl)
    RequestStart,
    RequestRead,
    // The value reader, while a row is read (the shared CurlFunctions.GetJSValue)
    ValueRead,
    // A key test (the key window's test button)
    KeyTestStaging,
};

// Where a step's failure is reported: the line, and the procedure when the
// step runs inside one of the shared helper procedures (else empty: the
// handler that started the job).
struct StepPlace
{
    QString procedure;
    int line = 0;
};
StepPlace stepPlace(Step step);

// Shows the "Application Error" box for a failure at `step` of a job that
// `procedure` (a procedurePath(), the handler that started the job) runs.
void reportFailure(Dialogs& dialogs, const QString& procedure, Step step, const Failure& failure);

// A procedure guarded by the uniform error report. Each step gets the next
// line number (100, 102, 104, ...); a step that throws is reported under that
// number and the procedure carries on with the next step, as the report
// promises the user.
//
// A procedure whose statements do not run top to bottom (a loop, work spread
// over several event handlers) names them by an enumeration in source order
// instead: statement k is line 100 + 2k, however often and in whatever order
// it runs.
class GuardedProcedure
{
public:
    GuardedProcedure(Dialogs& dialogs, QString path);

    // Runs the next step; returns false when it failed (and was reported).
    template <typename F> bool step(F&& f)
    {
        m_line = m_line < 0 ? kFirstLine : m_line + 2;
        return run(std::forward<F>(f));
    }

    template <typename E, typename F>
    requires std::is_enum_v<E>
    bool step(E statement, F&& f)
    {
        m_line = kFirstLine + 2 * static_cast<int>(statement);
        return run(std::forward<F>(f));
    }

    // For a step whose value the caller needs: gives `fallback` when it failed.
    template <typename F, typename T = std::invoke_result_t<F>> T value(F&& f, T fallback = T{})
    {
        T result = std::move(fallback);
        step([&] { result = std::forward<F>(f)(); });
        return result;
    }

    // Reports a failure caught inside the current step, which goes on.
    void reportCurrent(std::exception_ptr error);

private:
    static constexpr int kFirstLine = 100;

    template <typename F> bool run(F&& f)
    {
        try {
            std::forward<F>(f)();
            return true;
        } catch (...) {
            report(describe(std::current_exception()));
            return false;
        }
    }
    void report(const QString& description);

    Dialogs& m_dialogs;
    QString m_path;
    int m_line = -1;
};

} // namespace quillmore
