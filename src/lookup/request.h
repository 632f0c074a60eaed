#pragma once

#include "lookup/childrunner.h"
#include "lookup/lookupconfig.h"
#include "lookup/lookuprequest.h"
#include "shell/errorreport.h"

#include <QObject>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <chrono>

namespace quillmore {

class CurlStage;

// The address of one lookup: base + "/3.1/phone?api_key=" + key + "&phone=" +
// digits. The key goes in as typed, but for the characters that cannot stand
// in a URL's query (blanks of every kind, controls, quotes, backslashes,
// brackets, anything outside ASCII...), which are percent-encoded as UTF-8.
QString requestAddress(const QString& baseUrl, const QString& apiKey, const QString& digits);

// The address's phone value for a number list entry. An entry that is a
// valid number in E.164 form, "+" and all (what a table puts into the list),
// goes as "%2B" and its digits, so that the service reads its country code
// as one; every other entry goes as its digits, as typed numbers always have.
// Every way of sending a request takes the value from here.
QString phoneQueryValue(const QString& entry);

// The tool's arguments: "-X POST", the address read from standard input as a
// config line ("-K -"), "--output" and the answer file, and "--write-out"
// with the answer's HTTP status, which comes back on the tool's standard
// output. The address, and so the key, never stands on a command line that
// other users can read.
QStringList curlArguments(const QString& responsePath);

// The config line that hands curl the address: `url = "..."`, quoted and
// escaped as curl's config syntax wants, so that nothing in it can end the
// value or start another option.
QByteArray curlConfigLine(const QString& address);

// The tool's environment: the bundle through CURL_CA_BUNDLE, and no
// configuration file of the user's, so a request is exactly what its
// arguments and config line say.
QProcessEnvironment curlEnvironment(const CurlStage& stage);

// The HTTP status the tool wrote with --write-out; 0 when it names none.
int httpStatusOf(const QByteArray& toolOutput);

// The tool's limit on making the connection (name, proxy, TCP and TLS
// handshake): half the time a try may take, so that the tool, not the
// program's time limit, ends a try that never got connected. Empty for a try
// without a time limit.
QStringList connectTimeoutArguments(std::chrono::milliseconds tryLimit);

// Whether a failed try may have reached the service, and so may have been
// answered and charged: true unless the tool could not be started or told
// by its exit status that it never sent the request (no proxy or host found,
// no connection, the secure handshake failed, the connection not made in
// time). A cut-off answer, an empty reply, a try ended at the time limit or
// a tool that crashed may all have been answered.
bool mayHaveBeenAnswered(const ChildRun& failedTry);

// One lookup (`ReadCurl`): runs the tool, waiting one second after each
// failed try, and gives the answer as one line, "empty file" or "Could not
// connect". A try has failed when the tool did not end by itself with exit
// status 0 and an HTTP status, or left no answer file: a cut-off body or a
// reset connection is no answer. Up to 6 tries, but only one more after a
// try that may have been answered (mayHaveBeenAnswered), since each such try
// may be charged. A tool that cannot be started is a failed try; an answer
// file that cannot be read is an empty answer. Both are told through
// failed() and the request goes on. Owns its child and its timer: end()
// stops both, and nothing of the ended request follows.
class CurlRequest : public LookupRequest
{
    Q_OBJECT
public:
    CurlRequest(CurlStage& stage, const LookupConfig& config, QObject* parent = nullptr);

    // For several requests under way in one stage at once: each writes its
    // answer to a file of its own in the stage's folder and, when
    // `headerName` is given, the answer's headers beside it (see headers()).
    // Without this, the stage's one answer file and no headers.
    void setFileNames(const QString& answerName, const QString& headerName = {});

    void start(const QString& number, const QString& apiKey) override;
    void end() override;
    bool isBusy() const override { return m_busy; }
    // As the tool wrote them; empty unless a header file is named.
    QByteArray headers() const override { return m_headers; }

private:
    void runAttempt();
    void attemptEnded(const ChildRun& run);
    void finish(int httpStatus);
    QString answerPath() const;
    QString headerPath() const;
    QStringList arguments() const;
    void removeAnswerFiles() const;
    // Tells the failure being handled; false when a listener ended the
    // request meanwhile (from under the box it showed).
    bool tellFailure(Step step);

    CurlStage& m_stage;
    const LookupConfig& m_config;
    quint64 m_job = 0; // changes whenever a request starts or ends
    ChildRunner m_runner;
    QTimer m_retry;
    QByteArray m_input;
    QString m_answerName;
    QString m_headerName;
    QByteArray m_headers;
    int m_attempt = 0;
    int m_lastAttempt = 0;
    bool m_busy = false;
};

} // namespace quillmore
