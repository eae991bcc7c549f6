#include "settings/UserGallery.h"

#include <string>

RuleGallery UserRuleGallery(const UserFiles& files) {
    const std::string rulesFolder =
        files.userFolder.empty() ? std::string()
                                 : files.userFolder + "/" + RuleGallery::kRulesFolderName;
    return RuleGallery::Load(rulesFolder, files.dataFolder);
}

RuleGallery UserRuleGallery() {
    UserFileInputs inputs = UserFileInputsFromEnvironment();
    inputs.wantSettings = false;
    return UserRuleGallery(LookUpUserFiles(inputs));
}
