#pragma once

#include "pages/common_form_view.h"

// A setting page of a set with a single page; adds nothing to the common page.
class CSingleFormView : public CCommonFormView
{
    Q_OBJECT

public:
    explicit CSingleFormView(int templateId = kTemplateId);
    ~CSingleFormView() override;
};
