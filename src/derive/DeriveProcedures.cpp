#include "derive/CondQuantities.h"
#include "derive/IonConcentration.h"
#include "shell/MainCore.h"

// Conductivity, resistivity, TDS and salinity of a conductivity-family
// reading into columns 3..6 of the row being filled, and the quantity of the
// meter's mode into the display mirror.
void MainCore::Cond_RES_TDS_SAL()
{
    const CondInputs in{m.CondRaw.toDouble(), m.TempTenths, m.CondTref.toDouble(), m.CondCtc};
    const CondResult r = condQuantities(in, m.TempCoefTable);
    m.CondComp = r.condComp;
    m.ResValue = r.resValue;
    m.TdsValue = r.tdsValue;
    m.SalValue = r.salValue;
    const DerivedText *texts[4] = {&r.cond, &r.res, &r.tds, &r.sal};
    const int mode = m.MeasMode.toInt();
    for (int i = 0; i < 4; ++i) {
        MSFlexGrid1->setTextMatrix(m.GridRow, 3 + i, texts[i]->cell);
        if (mode == 9 + i) {
            lcd.lblLCD[2].Caption = texts[i]->lcdValue;
            lcd.lblLCD[3].Caption = texts[i]->lcdUnit;
        }
    }
}

// pX, mol/L, mg/L and ppm of an ion reading into columns 3..6, and the
// display mirror in the meter's unit.
void MainCore::pX_mol_mg_ppm()
{
    const IonResult r = ionConcentrations(m.PxValue.toDouble(), m.IonType, m.MolarMass, m.MeasMode.toInt());
    m.MolarMass = r.molarMass;
    m.MolValue = r.molValue;
    m.MgValue = r.mgValue;
    for (int i = 0; i < 4; ++i)
        MSFlexGrid1->setTextMatrix(m.GridRow, 3 + i, r.cells[i]);
    if (r.lcdSet) {
        lcd.lblLCD[2].Caption = r.lcdValue;
        lcd.lblLCD[3].Caption = r.lcdUnit;
        lcd.lblLCD[11].Caption = r.lcdExponent;
    }
}
