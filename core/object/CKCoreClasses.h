#pragma once

// Registers the 23 core classes at their fixed ids (start-up, before the
// class tables are built).
void CKRegisterCoreClasses();
