#pragma once

#include <QDialog>

#include <memory>

class ClientService;
namespace Ui {
class ClientWindow;
}

// 客户机: the client PCs, each with its state and fingerprint, the counter's own fingerprint to
// compare on a client's screen, 允许 and 移除, and whether the counter listens, on which port.
class ClientWindow : public QDialog {
    Q_OBJECT
public:
    ClientWindow(ClientService& service, QWidget* parent = nullptr);
    ~ClientWindow() override;

    void refresh();
    void allow(); // 按钮_允许
    void remove(); // 按钮_移除
    void applySetting(); // 按钮_应用

private:
    int picked() const;
    QByteArray pickedKey() const;
    void watchHub();

    std::unique_ptr<Ui::ClientWindow> m_ui;
    ClientService& m_service;
};
