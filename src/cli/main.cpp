#include "cli/clioptions.h"
#include "cli/clisession.h"
#include "cli/historycommands.h"
#include "cli/stderrdialogs.h"
#include "lookup/lookupconfig.h"
#include "shell/fileutil.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

namespace {

#ifdef QUILLMORE_CLI_TEST_HOOKS
// Only in the build the tests run: the local stand-in service and its
// certificate authority in place of the real ones.
void applyTestHooks(quillmore::LookupConfig& config)
{
    const QString url = qEnvironmentVariable("QUILLMORE_TEST_SERVICE_URL");
    if (!url.isEmpty())
        config.serviceUrl = url;
    const QString bundle = qEnvironmentVariable("QUILLMORE_TEST_CA_BUNDLE");
    if (!bundle.isEmpty()) {
        config.bundleBytes = [bundle] {
            QFile file(bundle);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
    }
}
#endif

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    // The desktop program's names: the same data folder and stored key.
    QCoreApplication::setApplicationName(quillmore::kProductName);
    QCoreApplication::setOrganizationName(QStringLiteral("Halvren"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUILLMORE_VERSION));

    const quillmore::cli::ParsedOptions parsed =
        quillmore::cli::parseOptions(QCoreApplication::arguments().mid(1));
    if (!parsed.error.isEmpty()) {
        quillmore::cli::writeError(QStringLiteral("quillmore-cli: ") + parsed.error +
                                   QStringLiteral("\nTry quillmore-cli --help."));
        return quillmore::cli::kExitUsage;
    }
    const quillmore::cli::CliOptions& options = parsed.options;
    if (options.help || options.version) {
        const QByteArray text =
            (options.help ? quillmore::cli::helpText() : quillmore::cli::versionText())
                .toLocal8Bit();
        std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
        return 0;
    }
    if (options.history)
        return quillmore::cli::writeHistory(options);
    if (options.forget)
        return quillmore::cli::forgetNumbers(options);
    quillmore::LookupConfig config = quillmore::LookupConfig::defaults();
#ifdef QUILLMORE_CLI_TEST_HOOKS
    applyTestHooks(config);
#endif
    quillmore::cli::CliSession session(options, config);
    int status = quillmore::cli::kExitUsage;
    QObject::connect(&session, &quillmore::cli::CliSession::finished, &app, [&](int code) {
        status = code;
        QCoreApplication::quit();
    });
    session.start();
    QCoreApplication::exec();
    return status;
}
