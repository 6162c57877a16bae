package com.korvan.kvfmu.pack;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;
import org.w3c.dom.Element;

/** Each FMU's modelIdentifier and GUID: derived from its content, distinct between models. */
class FmuIdentityTest {
    @TempDir
    Path folder;

    @ParameterizedTest
    @CsvSource(delimiter = '|', value = {
        "Lag              | Lag",
        "Copy name clash  | Copy_name_clash",
        "a.b-c+d          | a_b_c_d",
        "_private         | _private",
        "2nd order        | _2nd_order",
        "Wärmetauscher    | W_rmetauscher",
        "libkvfmu         | libkvfmu_model",
        "LibKvFmu         | LibKvFmu_model",
        "con              | con_",
        "NUL              | NUL_",
        "Com1             | Com1_",
        "LPT9             | LPT9_",
        "COM10            | COM10",
        "CONsole          | CONsole",
    })
    void modelIdentifierIsACIdentifierAndASafeFileName(String modelName, String identifier) {
        assertEquals(identifier, FmuIdentity.modelIdentifier(modelName));
    }

    @Test
    void anEmptyNameBecomesModel() {
        assertEquals("model", FmuIdentity.modelIdentifier(""));
        assertEquals("_", FmuIdentity.modelIdentifier("ü"));
    }

    @Test
    void guidIsAVersion5UuidOfTheBytes() {
        byte[] description = ("<x guid=\"" + FmuIdentity.GUID_PLACEHOLDER + "\"/>")
            .getBytes(StandardCharsets.UTF_8);
        String guid = FmuIdentity.guidOf(description);
        assertTrue(guid.matches(
            "\\{[0-9A-F]{8}-[0-9A-F]{4}-5[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}\\}"), guid);
        assertEquals(guid, FmuIdentity.guidOf(description.clone()));
        byte[] changed = description.clone();
        changed[1] = 'y';
        assertNotEquals(guid, FmuIdentity.guidOf(changed));
        assertArrayEquals(("<x guid=\"" + guid + "\"/>").getBytes(StandardCharsets.UTF_8),
                          FmuIdentity.withGuid(description, guid));
    }

    @Test
    void theDescriptionMustHoldThePlaceholderExactlyOnce() {
        byte[] none = "<x/>".getBytes(StandardCharsets.UTF_8);
        byte[] twice = (FmuIdentity.GUID_PLACEHOLDER + FmuIdentity.GUID_PLACEHOLDER)
            .getBytes(StandardCharsets.UTF_8);
        String guid = FmuIdentity.guidOf(none);
        assertThrows(IllegalStateException.class, () -> FmuIdentity.withGuid(none, guid));
        assertThrows(IllegalStateException.class, () -> FmuIdentity.withGuid(twice, guid));
    }

    // The GUID in the description is the one of its own bytes with the placeholder, and the
    // provider's settings carry it.
    @Test
    void packedGuidFollowsFromThePackedDescription() throws Exception {
        Path fmu = Packing.packLag(folder);
        byte[] description = Packing.entry(fmu, "modelDescription.xml");
        String guid = Packing.parse(description).getAttribute("guid");
        String text = new String(description, StandardCharsets.UTF_8);
        byte[] draft = text.replace(guid, FmuIdentity.GUID_PLACEHOLDER).getBytes(StandardCharsets.UTF_8);
        assertEquals(guid, FmuIdentity.guidOf(draft));
        String settings = new String(Packing.entry(fmu, "resources/provider.conf"), StandardCharsets.UTF_8);
        assertTrue(settings.contains("\nguid " + guid + "\n"), settings);
    }

    @Test
    void differentModelsOrParametersGiveDifferentIdentities() throws Exception {
        Path lag = Packing.packLag(Files.createDirectory(folder.resolve("lag")));
        Path slowLag = Packing.packLag(Files.createDirectory(folder.resolve("slow")), "--parameter", "T=9");
        Path tank = Packing.pack(folder.resolve("tank.fmu"), "--class",
                                 "com.korvan.kvbridge.models.WaterTank");
        Element lagRoot = Packing.modelDescription(lag);
        Element tankRoot = Packing.modelDescription(tank);
        assertNotEquals(lagRoot.getAttribute("guid"), tankRoot.getAttribute("guid"));
        assertEquals("WaterTank", ((Element) tankRoot.getElementsByTagName("CoSimulation").item(0))
            .getAttribute("modelIdentifier"));
        assertTrue(Packing.entryNames(tank).contains("binaries/linux64/WaterTank.so"));
        // A packed parameter value is the parameter's start value in the description.
        assertNotEquals(lagRoot.getAttribute("guid"), Packing.modelDescription(slowLag).getAttribute("guid"));
    }
}
