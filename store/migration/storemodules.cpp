#include "storemodules.h"

#include "appfolder.h"
#include "datamodules.h"
#include "migration.h"

StoreModules::StoreModules(StoreProgram program)
{
    SetAsideJetStore(AppFilePath(QLatin1String(TDM::StoreFileName)));
    m_dm = std::make_unique<TDM>(program);
    m_shared = std::make_unique<TSharedDM>(m_dm.get());
}

QStringList StoreModules::close()
{
    m_shared.reset();
    return m_dm->Close();
}

// The members go in the reverse order of their making: the shared module before the store's.
StoreModules::~StoreModules() = default;
