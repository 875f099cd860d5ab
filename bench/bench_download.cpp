// Measures the download against a local server: the time to fetch and store
// lists of several sizes, how soon a stop request ends a download that waits
// for a silent server, and how closely the time-out is kept.
#include "pricelist/pricelistdownload.h"
#include "support/httptestserver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace preisliste;
using namespace preisliste::test;
using namespace std::chrono_literals;

namespace {

QByteArray ListWithLines(int lines)
{
    QByteArray body = "#kvtpricelist\nList-ID: bench\nList-Sequence: 1\nEffective: 01.03.2011\n\n";
    for (int i = 0; i < lines; ++i)
        body += "0049" + QByteArray::number(100000 + i) + ";Deutschland Festnetz " + QByteArray::number(i)
                + ";0,0125\n";
    return body;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void MeasureDownload(HttpTestServer &server, int lines)
{
    const QByteArray body = ListWithLines(lines);
    server.Respond(200, body);
    std::vector<double> seconds;
    for (int run = 0; run < 5; ++run) {
        PriceListDownload download;
        QElapsedTimer timer;
        timer.start();
        const bool ok = download.DownloadList(QStringLiteral("1"), false);
        seconds.push_back(timer.nsecsElapsed() / 1e9);
        if (!ok)
            std::printf("  download failed: %s\n", qPrintable(download.FailureText()));
        QFile::remove(download.TempFileName());
    }
    const double median = Median(seconds);
    std::printf("download %8d lines %7.1f MB: median %.3f s, %.0f MB/s\n", lines, body.size() / 1e6, median,
                body.size() / 1e6 / median);
}

void MeasureStop(HttpTestServer &server)
{
    server.NeverAnswer();
    std::vector<double> latencies;
    for (int run = 0; run < 5; ++run) {
        StopSwitch stop;
        QElapsedTimer sinceStop;
        QTimer::singleShot(300ms, [&] {
            stop.RequestStop();
            sinceStop.start();
        });
        PriceListDownload download(DownloadLimits{.timeout = 60s});
        download.DownloadList(QStringLiteral("1"), false, &stop);
        latencies.push_back(sinceStop.nsecsElapsed() / 1e6);
    }
    std::printf("stop while waiting: median %.0f ms, worst %.0f ms after the request\n", Median(latencies),
                *std::max_element(latencies.begin(), latencies.end()));
}

void MeasureTimeout(HttpTestServer &server)
{
    server.NeverAnswer();
    PriceListDownload download(DownloadLimits{.timeout = 1s});
    QElapsedTimer timer;
    timer.start();
    download.DownloadList(QStringLiteral("1"), false);
    std::printf("time-out of 1 s: returned after %.0f ms\n", timer.nsecsElapsed() / 1e6);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    HttpTestServer server;
    qputenv("PREISLISTE_SERVER", server.Address().toLatin1());
    for (const int lines : {1000, 100000, 1000000})
        MeasureDownload(server, lines);
    MeasureStop(server);
    MeasureTimeout(server);
    return 0;
}
