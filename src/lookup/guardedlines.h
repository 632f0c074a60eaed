#pragma once

#include "errorreport.h"

#include <QString>

#include <utility>

#include <qcoro/qcorotask.h>

namespace quillmore {

// A guarded procedure whose statements carry fixed line numbers, so that a
// statement inside a loop is reported under the same line on every pass.
class GuardedLines
{
public:
    GuardedLines(Dialogs& dialogs, QString path) : m_dialogs(dialogs), m_path(std::move(path)) {}

    template <typename F> bool at(int line, F&& f)
    {
        GuardedProcedure procedure(m_dialogs, m_path);
        return procedure.stepAt(line, std::forward<F>(f));
    }

    template <typename F, typename T = std::invoke_result_t<F>>
    T value(int line, F&& f, T fallback = T{})
    {
        T result = fallback;
        at(line, [&] { result = std::forward<F>(f)(); });
        return result;
    }

    // For a statement that awaits; `f` returns a QCoro::Task<>.
    template <typename F> QCoro::Task<bool> atAsync(int line, F f)
    {
        GuardedProcedure procedure(m_dialogs, m_path);
        co_return co_await procedure.stepAsyncAt(line, std::move(f));
    }

private:
    Dialogs& m_dialogs;
    QString m_path;
};

} // namespace quillmore
