#include "support/TestMain.h"
class T : public QObject
{
    Q_OBJECT
};
ZQ_TEST_MAIN(T)
#include "test_image_pipeline.moc"
