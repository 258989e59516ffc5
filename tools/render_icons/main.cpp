// render_icons: renders SVG icons to PNG with QSvgRenderer, the renderer the program uses.
//
//   render_icons [--sizes 16,32,48] [--sheet FILE.png] [--zoom 4] OUTDIR FILE.svg...
//
// Writes OUTDIR/<name>-<size>.png for every file and size. With --sheet it also writes a
// contact sheet: one row per icon with every size on a light and on a dark background, and
// the smallest size magnified (nearest neighbour, four times unless --zoom says otherwise) to show
// the pixel grid.

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QStringList>
#include <QSvgRenderer>
#include <QTextStream>

#include <algorithm>
#include <vector>

namespace {

QImage render(QSvgRenderer &svg, int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    svg.render(&painter, QRectF(0, 0, size, size));
    return image;
}

int usage()
{
    QTextStream(stderr) << "usage: render_icons [--sizes 16,32,48] [--sheet FILE.png] [--zoom 4] OUTDIR FILE.svg...\n";
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);

    std::vector<int> sizes{16, 32, 48};
    QString sheetPath;
    int zoom = 4;
    while (!args.isEmpty() && args.first().startsWith("--")) {
        const QString option = args.takeFirst();
        if (args.isEmpty())
            return usage();
        const QString value = args.takeFirst();
        if (option == "--sizes") {
            sizes.clear();
            for (const QString &part : value.split(',', Qt::SkipEmptyParts)) {
                bool ok = false;
                const int size = part.toInt(&ok);
                if (!ok || size <= 0 || size > 1024)
                    return usage();
                sizes.push_back(size);
            }
            if (sizes.empty())
                return usage();
        } else if (option == "--zoom") {
            bool ok = false;
            zoom = value.toInt(&ok);
            if (!ok || zoom < 1 || zoom > 32)
                return usage();
        } else if (option == "--sheet") {
            sheetPath = value;
        } else {
            return usage();
        }
    }
    if (args.size() < 2)
        return usage();

    const QString outDir = args.takeFirst();
    if (!QDir().mkpath(outDir)) {
        QTextStream(stderr) << "cannot create " << outDir << "\n";
        return 1;
    }

    struct Row {
        QString name;
        std::vector<QImage> images;
    };
    std::vector<Row> rows;
    int failures = 0;
    for (const QString &file : args) {
        QSvgRenderer svg(file);
        if (!svg.isValid()) {
            QTextStream(stderr) << "cannot read " << file << "\n";
            ++failures;
            continue;
        }
        Row row{QFileInfo(file).completeBaseName(), {}};
        for (int size : sizes) {
            QImage image = render(svg, size);
            const QString target = QDir(outDir).filePath(QString("%1-%2.png").arg(row.name).arg(size));
            if (!image.save(target)) {
                QTextStream(stderr) << "cannot write " << target << "\n";
                ++failures;
            }
            row.images.push_back(image);
        }
        rows.push_back(row);
    }

    if (!sheetPath.isEmpty() && !rows.empty()) {
        const int gap = 8;
        const int smallest = *std::min_element(sizes.begin(), sizes.end());
        int sizesWidth = 0;
        for (int size : sizes)
            sizesWidth += size + gap;
        const int cell = std::max(*std::max_element(sizes.begin(), sizes.end()), smallest * zoom);
        const int labelWidth = 0;
        const int width = labelWidth + gap + 2 * sizesWidth + gap + smallest * zoom + gap;
        const int rowHeight = cell + gap;
        const int height = gap + int(rows.size()) * rowHeight;

        QImage sheet(width, height, QImage::Format_ARGB32_Premultiplied);
        sheet.fill(QColor(0xf0, 0xf0, 0xf0));
        QPainter painter(&sheet);
        const int darkLeft = labelWidth + gap + sizesWidth;
        painter.fillRect(darkLeft - gap / 2, 0, sizesWidth, height, QColor(0x3c, 0x3f, 0x44));
        int y = gap;
        for (const Row &row : rows) {
            int x = labelWidth + gap;
            for (int pass = 0; pass < 2; ++pass) {
                for (const QImage &image : row.images) {
                    painter.drawImage(x, y + (cell - image.height()) / 2, image);
                    x += image.width() + gap;
                }
            }
            // The smallest rendering, magnified without smoothing, on white.
            const QImage &small = row.images[size_t(std::min_element(sizes.begin(), sizes.end()) - sizes.begin())];
            const QImage big = small.scaled(small.width() * zoom, small.height() * zoom, Qt::IgnoreAspectRatio,
                                            Qt::FastTransformation);
            painter.fillRect(x, y, big.width(), big.height(), Qt::white);
            painter.drawImage(x, y, big);
            y += rowHeight;
        }
        painter.end();
        if (!sheet.save(sheetPath)) {
            QTextStream(stderr) << "cannot write " << sheetPath << "\n";
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
