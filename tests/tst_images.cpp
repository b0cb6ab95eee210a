// The two pictures the window shows behind its controls.
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
    static QImage load(const QString &name)
    {
        return QImage(QStringLiteral(QUORVANE_SOURCE_DIR "/images/") + name);
    }
};

void Images::picturesFitTheirAreas_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    QTest::newRow("page") << "foto.png" << QSize(560, 320);
    QTest::newRow("name strip") << "logor.png" << QSize(500, 30);
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
    const QImage page = load("foto.png");
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
