// The two pictures the window shows behind its controls, and the program's icon.
#include <QImage>
#include <QTest>

class Images : public QObject
{
    Q_OBJECT

private slots:
    void picturesFitTheirAreas_data();
    void picturesFitTheirAreas();
    void pageIsLightEnoughForBlackText();

private:
    static QImage load(const QString &path)
    {
        return QImage(QStringLiteral(QUORVANE_SOURCE_DIR "/") + path);
    }
};

void Images::picturesFitTheirAreas_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    QTest::newRow("page") << "images/foto.png" << QSize(560, 320);
    QTest::newRow("name strip") << "images/logor.png" << QSize(500, 30);
    // Installed by size into the icon theme's folders, which must hold what they say.
    QTest::newRow("icon of 48 px") << "packaging/icons/quorvane-48.png" << QSize(48, 48);
    QTest::newRow("icon of 128 px") << "packaging/icons/quorvane-128.png" << QSize(128, 128);
    QTest::newRow("icon of 256 px") << "packaging/icons/quorvane-256.png" << QSize(256, 256);
}

void Images::picturesFitTheirAreas()
{
    QFETCH(QString, name);
    QFETCH(QSize, size);
    const QImage image = load(name);
    QVERIFY2(!image.isNull(), qPrintable(name));
    QCOMPARE(image.size(), size);
}

// Labels and check boxes draw black text straight onto the page.
void Images::pageIsLightEnoughForBlackText()
{
    const QImage page = load("images/foto.png");
    QVERIFY(!page.isNull());
    int darkest = 255;
    for (int y = 0; y < page.height(); ++y) {
        for (int x = 0; x < page.width(); ++x)
            darkest = qMin(darkest, qGray(page.pixel(x, y)));
    }
    QVERIFY2(darkest >= 170, qPrintable(QString("darkest grey %1").arg(darkest)));
}

QTEST_MAIN(Images)
#include "tst_images.moc"
