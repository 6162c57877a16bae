package com.korvan.kvbridge.model;

/**
 * The experiment a host runs when the user asks for nothing else.
 *
 * @param startTime start of the simulation, in seconds
 * @param stopTime  end of the simulation, in seconds (greater than the start)
 * @param stepSize  communication step size, in seconds (positive)
 */
public record DefaultExperiment(double startTime, double stopTime, double stepSize) {
    /**
     * Checks that the times are finite, the start before the stop and the step positive.
     *
     * @param startTime start of the simulation, in seconds
     * @param stopTime  end of the simulation, in seconds
     * @param stepSize  communication step size, in seconds
     */
    public DefaultExperiment {
        if (!(Double.isFinite(startTime) && Double.isFinite(stopTime) && stopTime > startTime)) {
            throw new IllegalArgumentException(
                    "Default experiment: need start < stop, both finite");
        }
        if (!(Double.isFinite(stepSize) && stepSize > 0)) {
            throw new IllegalArgumentException("Default experiment: step size must be positive");
        }
    }
}
