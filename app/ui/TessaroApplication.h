#pragma once

#include <QApplication>

class IMessages;

// Qt does not carry exceptions through its event loop: every event is delivered here, and
// an error no handler caught is shown in the default error box while the loop goes on.
class TessaroApplication : public QApplication
{
    Q_OBJECT
  public:
    TessaroApplication(int& argc, char** argv, IMessages& messages);
    bool notify(QObject* receiver, QEvent* event) override;

  private:
    IMessages& messages_;
};
