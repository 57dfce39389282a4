#include "pages/single_form_view.h"

CSingleFormView::CSingleFormView(int templateId) : CCommonFormView(templateId) {}

CSingleFormView::~CSingleFormView() = default;
