// qby-stamp-downloader: a downloader for one purchase, made from the built downloader bundle.

#include "DownloaderStamper.h"
#include "RequestArguments.h"
#include "StampForms.h"
#include "StampedFeedSerial.h"
#include "ToolExit.h"
#include "app/RequestSources.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cerrno>

namespace {

using namespace qby;
using namespace qby::tools;

foundation::Status stamp(const DownloaderStamper& stamper, const QString& folder,
                         const QString& game, const foundation::DownloadRequest& request,
                         bool withRequestFile) {
    if (!withRequestFile) {
        const foundation::Result<QString> name = bundleNameCarrying(game, request);
        return name ? stamper.writeZip(folder, name.value()) : foundation::Status(name.error());
    }
    const foundation::Result<QString> name = bundleNameWithoutRequest(game);
    if (!name) return name.error();
    const foundation::Result<QString> text = requestFileText(request);
    if (!text) return text.error();
    return stamper.writeWithRequestFile(folder, name.value(),
                                        app::requestFileNames(name.value()).first(), text.value());
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qby-stamp-downloader"));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Makes the downloader of one purchase from the built QuillbayDownloader.app.\n"
        "By default FOLDER/GAME.KEY.VALUE.zip, holding the bundle renamed GAME.KEY.VALUE.app, as\n"
        "the store hands it out: the name carries one KEY=VALUE, and neither part may hold a "
        "\".\".\n"
        "With --request-file: FOLDER/GAME.app with the request file FOLDER/.GAME.txt beside it.\n"
        "With --feed: the downloader refuses release feeds older than that one (its\n"
        "\"feedSerial\"), in a build that requires signed feeds.\n"
        "A request that the chosen form cannot carry is refused, saying why (status 1).");
    parser.addHelpOption();
    const QCommandLineOption game({"g", "game"}, "The game's name, which starts the bundle's name.",
                                  "NAME");
    const QCommandLineOption out(
        {"o", "out"}, "The folder to write into (default: the current one).", "FOLDER", ".");
    const QCommandLineOption bundle(
        "bundle", "The built downloader (default: ../dist/QuillbayDownloader.app from this tool).",
        "PATH",
        QCoreApplication::applicationDirPath() + QStringLiteral("/../dist/QuillbayDownloader.app"));
    const QCommandLineOption requestFile("request-file",
                                         "A bundle with a request file beside it, not a zip.");
    const QCommandLineOption feed(
        "feed", "The store's current release feed, whose feedSerial the downloader keeps.", "FILE");
    parser.addOptions({game, out, bundle, requestFile, feed});
    parser.addPositionalArgument("KEY=VALUE",
                                 "The request, one pair an argument, split at the first \"=\".",
                                 "KEY=VALUE...");
    if (!parser.parse(QCoreApplication::arguments())) return fail(kUsage, parser.errorText());
    if (parser.isSet("help")) parser.showHelp(0);
    if (parser.value(game).isEmpty()) return fail(kUsage, "--game NAME is required");

    const foundation::Result<foundation::DownloadRequest> request =
        requestOfArguments(parser.positionalArguments());
    if (!request) return fail(kUsage, request.error().message);
    std::optional<qint64> feedSerial;
    if (parser.isSet(feed)) {
        const foundation::Result<qint64> serial = feedSerialOfFile(parser.value(feed));
        if (!serial) return fail(kRefused, "refused: " + serial.error().message);
        feedSerial = serial.value();
    }
    const foundation::Status stamped =
        stamp(DownloaderStamper(parser.value(bundle), feedSerial), parser.value(out),
              parser.value(game), request.value(), parser.isSet(requestFile));
    if (stamped) return 0;
    const bool refused = stamped.error().code == EINVAL;
    return fail(kRefused, (refused ? "refused: " : "failed: ") + stamped.error().message);
}
