#pragma once
// The gallery of rule bases as this user sees it: the shipped ones, the
// user's own rules folder ($XDG_CONFIG_HOME/marrowick/rules, where the user's
// Rules.clp lives too), and the installed copies of the shipped ones.
#include "policy/RuleGallery.h"
#include "settings/UserFiles.h"

// From files the plan or look-up of the user's files gave.
RuleGallery UserRuleGallery(const UserFiles& files);
// From this process's environment, making and writing nothing.
RuleGallery UserRuleGallery();
