package com.korvan.kvbridge.testmodels;

import com.korvan.kvbridge.model.IntegrationMethod;
import com.korvan.kvbridge.models.FirstOrderLag;

/** The first-order lag integrated with fixed Runge-Kutta steps. */
public class FixedStepLag extends FirstOrderLag {
    @Override
    protected IntegrationMethod integrationMethod() {
        return IntegrationMethod.CLASSICAL_RUNGE_KUTTA;
    }
}
