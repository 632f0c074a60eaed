#pragma once

#include "shell/errorreport.h"

#include <QByteArray>
#include <QObject>
#include <QString>

namespace quillmore {

// One lookup of one number, however it travels: the desktop's child process
// or the command line's kept-alive connections. What a request means is the
// same for both: the address and the key as requestAddress() makes them, an
// answer only with a complete transfer and an HTTP status, and
// "Could not connect" when every try failed.
class LookupRequest : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    virtual void start(const QString& number, const QString& apiKey) = 0;
    // Nothing of an ended request is told afterwards.
    virtual void end() = 0;
    // From start() until the answer is told or the request is ended.
    virtual bool isBusy() const = 0;
    // The headers the last answer came with, as sent (status lines included);
    // empty when the request keeps none.
    virtual QByteArray headers() const = 0;

signals:
    void progressText(const QString& text);
    // The answer as one line, "empty file" or "Could not connect"; httpStatus
    // is the status it came with, 0 with "Could not connect".
    void answered(const QString& answer, int httpStatus);
    // Step::RequestStart or Step::RequestRead; the request goes on.
    void failed(const Failure& failure, Step step);
};

} // namespace quillmore
