// How fast the traffic monitor shows a recording's rows: opening it, finding
// the places of all its rows, jumps to rows far apart, each reading a
// screenful of rows not read before, as a drag of the scroll bar does; the
// same with the rows of one code chosen; and a find that meets no row.
// Usage: traffic_scroll RECORDING [JUMPS]
#include "views/recorded_traffic_model.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>

#include <algorithm>
#include <random>
#include <vector>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        QTextStream(stderr) << "usage: traffic_scroll RECORDING [JUMPS]\n";
        return 2;
    }
    const int jumps = args.size() > 2 ? args[2].toInt() : 50;
    QTextStream out(stdout);
    Views::Recorded_Traffic_Model model;
    QString error;
    QElapsedTimer took;
    took.start();
    if (!model.Open(args[1], &error)) {
        QTextStream(stderr) << error << '\n';
        return 1;
    }
    out << "open: " << took.nsecsElapsed() / 1e6 << " ms\n";

    std::mt19937 random(1);
    const auto places_and_jumps = [&](const QString& rows) {
        took.restart();
        model.Index_All();
        const double index_ms = took.nsecsElapsed() / 1e6;
        out << "places of " << model.rowCount() << " " << rows << ": " << index_ms << " ms\n";
        std::uniform_int_distribution<int> any(0, std::max(0, model.rowCount() - 40));
        std::vector<double> ms;
        for (int j = 0; j < jumps; ++j) {
            const int first = any(random);
            took.restart();
            for (int row = first; row < first + 40 && row < model.rowCount(); ++row)
                for (int column = 0; column < Views::Traffic_Table::Column_Count; ++column)
                    model.index(row, column).data();
            ms.push_back(took.nsecsElapsed() / 1e6);
        }
        std::sort(ms.begin(), ms.end());
        if (!ms.empty())
            out << "a screenful at a new place, " << jumps << " jumps: median " << ms[ms.size() / 2]
                << " ms, slowest " << ms.back() << " ms\n";
    };
    places_and_jumps(QStringLiteral("rows"));
    // A code chosen: every row is read, a slice at a time.
    model.Choose({QStringLiteral("PXV"), -1});
    places_and_jumps(QStringLiteral("rows of PXV, chosen from the file in slices of ") +
                     QString::number(Views::Recorded_Traffic_Model::Slice_Rows) +
                     QStringLiteral(" rows"));
    model.Choose({});
    model.Index_All();

    // A text no row holds: every row is read and put in words.
    took.restart();
    int matches = 0;
    for (int row = 0; row < model.rowCount(); ++row)
        matches += model.Matches(row, QStringLiteral("no such text"));
    out << "find through all rows: " << took.nsecsElapsed() / 1e6 << " ms\n";
    return matches;
}
