#pragma once

#include "datamodules.h"
#include "messages.h"
#include "programframe.h"
#include "storemodules.h"

#include <memory>

// What Vezuviroz and Scribant make at start, in this order: the data modules (the store opened,
// a Jet bank in its place set aside first), then the main window, which is given the modules.
// Freed in the reverse order; what went wrong in closing the store is shown then. AppError when the
// store cannot be opened: the frame shows it and the program ends.
template <class MainWindow, StoreProgram Program> class StoreProgramModules : public ProgramModules
{
public:
    StoreProgramModules() : m_store(Program), m_mainWindow(std::make_unique<MainWindow>(m_store.dm(), m_store.shared()))
    {}
    ~StoreProgramModules() override
    {
        m_mainWindow.reset();
        for (const QString& error : m_store.close())
            ShowMessage(error, MsgIcon::Error);
    }

    QWidget* mainWindow() override { return m_mainWindow.get(); }
    MainWindow* window() const { return m_mainWindow.get(); }
    const StoreModules& store() const { return m_store; }

private:
    StoreModules m_store;
    std::unique_ptr<MainWindow> m_mainWindow;
};
