#pragma once

#include <QString>

#include <concepts>
#include <exception>
#include <stdexcept>
#include <type_traits>

#include <qcoro/qcorotask.h>

namespace quillmore {

class Dialogs;

// A failure that the uniform error report names. The text is what the user
// reads, so it carries the system's own wording where there is one.
class Failure : public std::runtime_error
{
public:
    explicit Failure(const QString& description);
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

// A procedure guarded by the uniform error report. Each step gets the next
// line number (100, 102, 104, ...); a step that throws is reported under that
// number and the procedure carries on with the next step, as the report
// promises the user.
class GuardedProcedure
{
public:
    GuardedProcedure(Dialogs& dialogs, QString path);

    // Runs one step; returns false when it failed (and was reported).
    template <typename F> bool step(F&& f)
    {
        beginStep();
        return run(std::forward<F>(f));
    }

    // A step with a fixed line number, for a statement inside a loop: every
    // pass reports the same line, as a statement in the source would.
    template <typename F> bool stepAt(int line, F&& f)
    {
        m_line = line;
        return run(std::forward<F>(f));
    }

    template <typename F> bool run(F&& f)
    {
        try {
            std::forward<F>(f)();
            return true;
        } catch (...) {
            reportCurrent(std::current_exception());
            return false;
        }
    }

    // Same for a step that awaits; `f` returns a QCoro::Task<>.
    template <typename F> QCoro::Task<bool> stepAsync(F f)
    {
        beginStep();
        co_return co_await runAsync(std::move(f));
    }

    template <typename F> QCoro::Task<bool> stepAsyncAt(int line, F f)
    {
        m_line = line;
        co_return co_await runAsync(std::move(f));
    }

    template <typename F> QCoro::Task<bool> runAsync(F f)
    {
        try {
            co_await f();
            co_return true;
        } catch (...) {
            reportCurrent(std::current_exception());
            co_return false;
        }
    }

    // For a step whose value the caller needs: gives `fallback` when it failed.
    template <typename F, typename T = std::invoke_result_t<F>> T value(F&& f, T fallback = T{})
    {
        beginStep();
        try {
            return std::forward<F>(f)();
        } catch (...) {
            reportCurrent(std::current_exception());
            return fallback;
        }
    }

    template <typename F, typename T = std::invoke_result_t<F>>
    T valueAt(int line, F&& f, T fallback = T{})
    {
        m_line = line;
        T result = std::move(fallback);
        run([&] { result = std::forward<F>(f)(); });
        return result;
    }

    void beginStep() { m_line = m_line < 0 ? 100 : m_line + 2; }
    int line() const { return m_line; }
    const QString& path() const { return m_path; }
    int reportCount() const { return m_reports; }

    // Shows the report for the current step.
    void report(const QString& description);
    void reportCurrent(std::exception_ptr error);

private:
    Dialogs& m_dialogs;
    QString m_path;
    int m_line = -1;
    int m_reports = 0;
};

// The description of whatever was thrown.
QString describe(std::exception_ptr error);

} // namespace quillmore
