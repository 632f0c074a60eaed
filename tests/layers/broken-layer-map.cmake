# A layer map with the faults the rule must catch: quillmore_low links the
# library above it and reaches the workbook library, and the Core-only
# quillmore_core reaches Qt Widgets through another library.
set(LIBRARIES quillmore_core quillmore_low quillmore_high)
set(CORE_ONLY quillmore_core quillmore_low)
set(DIRECT_quillmore_core Qt6::Core quillmore_helper)
set(CLOSURE_quillmore_core Qt6::Core quillmore_helper Qt6::Widgets Qt6::Gui)
set(DIRECT_quillmore_low quillmore_core quillmore_high)
set(CLOSURE_quillmore_low quillmore_core quillmore_high Qt6::Core PkgConfig::XLSXWRITER)
set(DIRECT_quillmore_high quillmore_low)
set(CLOSURE_quillmore_high quillmore_low Qt6::Core)
